// quorvantix-cli adapters: the adapters the device link offers, in its order.

#include "app/cli/CliCommand.h"
#include "link/AcTransmitManage.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
int RunAdapters(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "adapters: unexpected argument %s\n", args[0].c_str());
        return kExitRefused;
    }
    // The adapter layer needs no record store; a manager of its own keeps
    // this command from creating one.
    AcTransmitManage link(nullptr);
    std::vector<AdapterRecord> list;
    link.GetAdapterList(list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const AdapterRecord& r = list[i];
        std::string mac = MacTextUpper(r.hardwareAddress);
        std::printf(
            "%zu\t%s\t%s\t%s\n", i,
            std::string(r.adapterName, strnlen(r.adapterName, sizeof r.adapterName)).c_str(),
            mac.c_str(), AdapterChooserText(r).c_str());
    }
    return kExitOk;
}
} // namespace

QV_CLI_COMMAND("adapters", "adapters", RunAdapters)
