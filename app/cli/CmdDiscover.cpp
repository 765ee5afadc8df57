// quorvantix-cli discover: a search as the status page runs it, then the
// stored devices, ordered by MAC.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliProgress.h"
#include "app/cli/CliSupport.h"
#include "link/AcTransmitManage.h"
#include "records/CSqlManagement.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "discover", "--adapter IFACE [--broadcasts N] [--json] [--quiet]",
    "Broadcasts discovery requests on the adapter, one a second, waits one second more for\n"
    "late replies and lists every device that answered. On a terminal the progress is shown\n"
    "on stderr.",
    "one line per device, ordered by MAC, fields separated by tabs:\n"
    "  MAC  date  SSID 2.4 GHz  SSID 5 GHz  key 2.4 GHz  key 5 GHz\n"
    "texts are escaped: \\\\, \\t, \\n and \\xNN for other control characters\n"
    "--json: [{\"mac\":..,\"date\":..,\"ssid2\":..,\"ssid5\":..,\"wpakey2\":..,\"wpakey5\":..}]",
    "0  the search ran (\"no device answered\" on stderr when the list is empty)\n"
    "1  the record store or the adapter could not be used, or SIGINT/SIGTERM stopped it\n"
    "2  usage error or unknown adapter"};

// A stored text without the blanks a fixed-width column pads it with.
std::string Field(const char* text, std::size_t width) {
    std::string s(text, strnlen(text, width));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

int RunDiscover(const std::vector<std::string>& args) {
    CliOptions options(kHelp,
                       {{"adapter", "IFACE", "the adapter's interface name (see adapters)"},
                        {"broadcasts", "N", "discovery broadcasts, one a second (default 3)"},
                        {"json", nullptr, "print one JSON array instead of lines"},
                        {"q,quiet", nullptr, "no progress and no notices on stderr"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    int broadcasts = 3;
    if (!options.Count("broadcasts", 1, 999999, broadcasts))
        return kExitRefused;
    const std::string adapterName = options.Value("adapter");
    if (adapterName.empty())
        return options.UsageError("--adapter is required");
    const bool json = options.Has("json");
    const bool quiet = options.Has("quiet");

    CatchStopSignals();
    AcTransmitManage* link = AcTransmitManage::GetInstance();
    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen()) {
        std::fprintf(stderr, "discover: the record store %s cannot be opened\n",
                     store->DatabasePath().c_str());
        return kExitFailed;
    }
    if (int rc = SelectAdapterNamed(*link, adapterName, "discover"); rc != kExitOk)
        return rc;

    CliProgress progress("discover", quiet);
    const bool searched = SearchSegment(*link, *store, broadcasts, &progress);
    link->Stop();
    if (!searched) {
        progress.Finish();
        std::fprintf(stderr, "discover: stopped by a signal\n");
        CSqlManagement::Shutdown();
        return kExitFailed;
    }

    std::vector<ap_info_stu> rows;
    const DevicePage page = store->LoadDevicePage(SortByMac, rows, 1 << 20, 1, true, QString());
    if (!page.ok) {
        std::fprintf(stderr, "discover: the stored devices cannot be read\n");
        return kExitFailed;
    }
    if (rows.empty() && !quiet)
        std::fprintf(stderr, "discover: no device answered on %s\n", adapterName.c_str());
    QJsonArray array;
    for (const ap_info_stu& r : rows) {
        const std::string fields[6] = {Field(r.mac, sizeof r.mac),
                                       Field(r.ap_date, sizeof r.ap_date),
                                       Field(r.ap_ssid2, sizeof r.ap_ssid2),
                                       Field(r.ap_ssid5, sizeof r.ap_ssid5),
                                       Field(r.ap_wpakey2, sizeof r.ap_wpakey2),
                                       Field(r.ap_wpakey5, sizeof r.ap_wpakey5)};
        if (json) {
            static const char* const names[6] = {"mac",   "date",    "ssid2",
                                                 "ssid5", "wpakey2", "wpakey5"};
            QJsonObject item;
            for (int f = 0; f < 6; ++f)
                item.insert(QLatin1String(names[f]), JsonText(fields[f]));
            array.append(item);
        } else {
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", TsvField(fields[0]).c_str(),
                        TsvField(fields[1]).c_str(), TsvField(fields[2]).c_str(),
                        TsvField(fields[3]).c_str(), TsvField(fields[4]).c_str(),
                        TsvField(fields[5]).c_str());
        }
    }
    if (json)
        PrintJson(array);
    std::fflush(stdout);
    return kExitOk;
}
} // namespace

QV_CLI_COMMAND("discover", "search the segment and list the devices that answered", RunDiscover)
