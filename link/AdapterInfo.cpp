#include "link/AdapterInfo.h"

#include "link/TransmitFrame.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace {
void CopyText(char* field, std::size_t width, const std::string& text) {
    // Cut on a UTF-8 character boundary, always leaving a terminator.
    std::size_t n = std::min(text.size(), width - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string DriverName(const std::string& ifname) {
    std::error_code ec;
    const std::filesystem::path link = "/sys/class/net/" + ifname + "/device/driver";
    const std::filesystem::path target = std::filesystem::read_symlink(link, ec);
    if (ec)
        return {};
    return target.filename().string();
}

struct Node {
    unsigned index;
    AdapterRecord record;
};
} // namespace

std::vector<AdapterRecord> ReadLocalAdapterNodes() {
    std::vector<Node> nodes;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET || a->ifa_name == nullptr)
            continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        Node node{};
        std::memset(&node.record, 0, sizeof node.record);
        node.index = static_cast<unsigned>(ll->sll_ifindex);
        const bool ethernet = ll->sll_hatype == ARPHRD_ETHER &&
                              (a->ifa_flags & IFF_LOOPBACK) == 0 && ll->sll_halen == 6;
        node.record.kind = ethernet ? 1 : 2;
        std::memcpy(node.record.hardwareAddress, ll->sll_addr,
                    std::min<std::size_t>(ll->sll_halen, sizeof node.record.hardwareAddress));
        const std::string name = a->ifa_name;
        const std::string driver = DriverName(name);
        CopyText(node.record.description, sizeof node.record.description,
                 driver.empty() ? name : driver);
        CopyText(node.record.adapterName, sizeof node.record.adapterName, name);
        nodes.push_back(node);
    }
    freeifaddrs(list);
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const Node& a, const Node& b) { return a.index < b.index; });
    std::vector<AdapterRecord> out;
    out.reserve(nodes.size());
    for (const Node& n : nodes)
        out.push_back(n.record);
    return out;
}

std::string AdapterChooserText(const AdapterRecord& record) {
    std::string mac = MacTextLower(record.hardwareAddress);
    for (char& c : mac)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return std::string(record.description, strnlen(record.description, sizeof record.description)) +
           " (" + mac + ")";
}

std::vector<AdapterRecord> AdapterListFromNodes(const std::vector<AdapterRecord>& nodes) {
    std::vector<AdapterRecord> list;
    for (const AdapterRecord& node : nodes) {
        if (node.kind != 1)
            continue;
        AdapterRecord r;
        std::memset(&r, 0, sizeof r);
        const auto* src = reinterpret_cast<const std::uint8_t*>(&node);
        auto* dst = reinterpret_cast<std::uint8_t*>(&r);
        std::memcpy(dst + 1, src + 1, 400);
        std::memcpy(dst + 404, src + 404, 484);
        std::memcpy(dst + 888, src + 888, 32);
        list.push_back(r);
    }
    return list;
}

int PickCaptureDevice(const std::vector<std::string>& deviceNames, const std::string& adapterName) {
    if (adapterName.empty())
        return -1;
    for (std::size_t i = 0; i < deviceNames.size(); ++i)
        if (deviceNames[i] == adapterName)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < deviceNames.size(); ++i)
        if (deviceNames[i].find(adapterName) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}
