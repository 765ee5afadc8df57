// quorvantix-cli sheet export: writes the parameter sheet for a batch of
// devices from a configuration template, as the parameter submission dialog
// does before it opens the sheet, and prints the sheet's path. With an
// adapter it searches first, so the devices' stored radio values fill the
// radio columns.

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "link/AcTransmitManage.h"
#include "link/TransmitFrame.h"
#include "payload/ConfigXml.h"
#include "payload/ParameterSheet.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "sheet export --template FILE.xml [--adapter IFACE [--broadcasts N]] (--mac MAC... | --all)";

struct SheetOptions {
    std::string templatePath;
    std::string adapter;
    int broadcasts = 40;
    std::vector<std::string> macs;
    bool all = false;
};

int ParseArgs(const std::vector<std::string>& args, SheetOptions& o) {
    if (args.empty() || args[0] != "export")
        return Refuse(std::string("sheet: usage: ") + kUsage);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--all") {
            o.all = true;
        } else if (a == "--template" && hasValue) {
            o.templatePath = args[++i];
        } else if (a == "--adapter" && hasValue) {
            o.adapter = args[++i];
        } else if (a == "--broadcasts" && hasValue) {
            if (!ParseCount(args[++i], 1, 999999, o.broadcasts))
                return Refuse("sheet: --broadcasts needs a number from 1");
        } else if (a == "--mac" && hasValue) {
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                std::string mac = args[++i];
                for (char& c : mac)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                std::uint8_t bytes[6];
                if (!ParseMacText(mac, bytes))
                    return Refuse("sheet: not a MAC address: " + args[i]);
                if (std::find(o.macs.begin(), o.macs.end(), mac) == o.macs.end())
                    o.macs.push_back(mac);
            }
        } else {
            return Refuse("sheet: unexpected argument " + a + " (usage: " + kUsage + ")");
        }
    }
    if (o.templatePath.empty())
        return Refuse("sheet: --template is required");
    if (o.all == !o.macs.empty())
        return Refuse("sheet: give either --mac MAC... or --all");
    if (o.all && o.adapter.empty())
        return Refuse("sheet: --all needs --adapter (the devices come from a search)");
    return kExitOk;
}

int RunSheet(const std::vector<std::string>& args) {
    SheetOptions o;
    if (int rc = ParseArgs(args, o); rc != kExitOk)
        return rc;
    DeviceParams templateParams{};
    ZeroDeviceParams(templateParams);
    if (!CheckTemplateSize(o.templatePath) || !ParseTemplateXml(o.templatePath, templateParams))
        return Refuse("sheet: cannot read the configuration template " + o.templatePath);
    if (!CheckTemplateValues(templateParams))
        return kExitRefused;

    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen())
        return Refuse("sheet: the record store cannot be opened");

    if (!o.adapter.empty()) {
        AcTransmitManage* link = AcTransmitManage::GetInstance();
        if (int rc = SelectAdapterNamed(*link, o.adapter, "sheet"); rc != kExitOk)
            return rc;
        SearchSegment(*link, *store, o.broadcasts);
    }

    std::vector<std::string> devices = o.macs;
    if (o.all) {
        devices = StoredMacs(*store);
        if (devices.empty()) {
            std::fprintf(stderr, "sheet: no device answered the search\n");
            return kExitFailed;
        }
    }

    std::string sheetPath;
    if (!ExportParameterSheet(templateParams, devices, sheetPath, *store)) {
        ShowMessage(TranslateText(std::string("Create excel fields Info error!")),
                    MessageIcon::Exclamation, kAppCaption);
        return kExitFailed;
    }
    std::printf("%s\n", sheetPath.c_str());
    std::fflush(stdout);
    return kExitOk;
}

} // namespace

QV_CLI_COMMAND("sheet", kUsage, RunSheet)
