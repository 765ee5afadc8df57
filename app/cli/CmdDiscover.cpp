// quorvantix-cli discover: a search as the status page runs it, then the
// stored devices, ordered by MAC.

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "link/AcTransmitManage.h"
#include "records/CSqlManagement.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr const char* kUsage = "discover --adapter IFACE [--broadcasts N] [--json]";

// A stored text without the blanks a fixed-width column pads it with.
std::string Field(const char* text, std::size_t width) {
    std::string s(text, strnlen(text, width));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int RunDiscover(const std::vector<std::string>& args) {
    std::string adapterName;
    int broadcasts = 40;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--json") {
            json = true;
        } else if (a == "--adapter" && hasValue) {
            adapterName = args[++i];
        } else if (a == "--broadcasts" && hasValue) {
            if (!ParseCount(args[++i], 1, 999999, broadcasts))
                return Refuse("discover: --broadcasts needs a number from 1");
        } else {
            return Refuse("discover: unexpected argument " + a + " (usage: " + kUsage + ")");
        }
    }
    if (adapterName.empty())
        return Refuse("discover: --adapter is required");

    AcTransmitManage* link = AcTransmitManage::GetInstance();
    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen()) {
        std::fprintf(stderr, "discover: the record store cannot be opened\n");
        return kExitFailed;
    }
    if (int rc = SelectAdapterNamed(*link, adapterName, "discover"); rc != kExitOk)
        return rc;

    SearchSegment(*link, *store, broadcasts);
    link->Stop();

    std::vector<ap_info_stu> rows;
    const DevicePage page = store->LoadDevicePage(SortByMac, rows, 1 << 20, 1, true, QString());
    if (!page.ok) {
        std::fprintf(stderr, "discover: the stored devices cannot be read\n");
        return kExitFailed;
    }
    if (json)
        std::printf("[");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ap_info_stu& r = rows[i];
        const std::string fields[6] = {Field(r.mac, sizeof r.mac),
                                       Field(r.ap_date, sizeof r.ap_date),
                                       Field(r.ap_ssid2, sizeof r.ap_ssid2),
                                       Field(r.ap_ssid5, sizeof r.ap_ssid5),
                                       Field(r.ap_wpakey2, sizeof r.ap_wpakey2),
                                       Field(r.ap_wpakey5, sizeof r.ap_wpakey5)};
        if (json) {
            static const char* const names[6] = {"mac",   "date",    "ssid2",
                                                 "ssid5", "wpakey2", "wpakey5"};
            std::printf("%s{", i == 0 ? "" : ",");
            for (int f = 0; f < 6; ++f)
                std::printf("%s\"%s\":%s", f == 0 ? "" : ",", names[f], Json(fields[f]).c_str());
            std::printf("}");
        } else {
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", fields[0].c_str(), fields[1].c_str(),
                        fields[2].c_str(), fields[3].c_str(), fields[4].c_str(), fields[5].c_str());
        }
    }
    if (json)
        std::printf("]\n");
    return kExitOk;
}
} // namespace

QV_CLI_COMMAND("discover", kUsage, RunDiscover)
