// quorvantix-cli adapters: the adapters the device link offers, in its order.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliSupport.h"
#include "link/AcTransmitManage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "adapters", "[--json]", "Lists the network adapters a search or a push can use.",
    "one line per adapter, fields separated by tabs:\n"
    "  index  interface  MAC  chooser text (description and MAC)\n"
    "texts are escaped: \\\\, \\t, \\n and \\xNN for other control characters\n"
    "--json: [{\"index\":0,\"interface\":\"eth0\",\"mac\":\"AA:..\",\"description\":\"...\"}]",
    "0  the list was printed (it may be empty)\n"
    "2  usage error"};

int RunAdapters(const std::vector<std::string>& args) {
    CliOptions options(kHelp, {{"json", nullptr, "print one JSON array instead of lines"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    const bool json = options.Has("json");
    // The adapter layer needs no record store; a manager of its own keeps
    // this command from creating one.
    AcTransmitManage link(nullptr);
    std::vector<AdapterRecord> list;
    link.GetAdapterList(list);
    QJsonArray array;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const AdapterRecord& r = list[i];
        const std::string name(r.adapterName, strnlen(r.adapterName, sizeof r.adapterName));
        const std::string mac = MacTextUpper(r.hardwareAddress);
        const std::string text = AdapterChooserText(r);
        if (json) {
            QJsonObject item;
            item.insert(QStringLiteral("index"), static_cast<int>(i));
            item.insert(QStringLiteral("interface"), JsonText(name));
            item.insert(QStringLiteral("mac"), JsonText(mac));
            item.insert(QStringLiteral("description"), JsonText(text));
            array.append(item);
        } else {
            std::printf("%zu\t%s\t%s\t%s\n", i, TsvField(name).c_str(), mac.c_str(),
                        TsvField(text).c_str());
        }
    }
    if (json)
        PrintJson(array);
    return kExitOk;
}
} // namespace

QV_CLI_COMMAND("adapters", "list the network adapters", RunAdapters)
