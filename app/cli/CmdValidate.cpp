// quorvantix-cli validate: the parameter rules on JSON records or on an
// edited parameter sheet, against the template's record, without sending.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliSupport.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "payload/ConfigXml.h"
#include "payload/DeviceParamsJson.h"
#include "payload/ParameterRules.h"
#include "payload/ParameterSheet.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "validate", "--template FILE.xml (--sheet FILE.xls | --params FILE.json [--wlan]) [--json]",
    "Checks every row of an edited parameter sheet, or every record of a JSON file, against\n"
    "the rules a push applies, for the WAN fields the template uses. Nothing is sent.\n"
    "A sheet's radio columns are checked when its header has them; JSON records' radio\n"
    "fields only with --wlan. JSON keys are the sheet's column names (mac, WanName1, vid1,\n"
    "pppUser1, pppPassword1, ..., ssid_5g, wlanPsk_5g, ssid_2.4g, wlanPsk_2.4g, loid,\n"
    "loidPassword, ploamPassword, loginPassword; wanCount optional); one object or an array.",
    "one line per failing row or record, in order, fields separated by tabs:\n"
    "  MAC  column  the rule's message\n"
    "nothing when every row passes\n"
    "--json: [{\"mac\":..,\"column\":\"vid1\",\"rule\":\"The MAC:... is invalid. ...\"}]",
    "0  every row passes\n"
    "1  at least one row breaks a rule\n"
    "2  usage error or refused input (a file that cannot be read, an unknown JSON key)"};

int RunValidate(const std::vector<std::string>& args) {
    CliOptions options(kHelp,
                       {{"template", "FILE.xml", "the configuration template"},
                        {"sheet", "FILE.xls", "the parameter sheet (as sheet export wrote it)"},
                        {"params", "FILE.json", "parameter records in JSON"},
                        {"wlan", nullptr, "JSON records: check the radio fields too"},
                        {"json", nullptr, "print one JSON array instead of lines"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    const std::string templatePath = options.Value("template");
    const std::string sheetPath = options.Value("sheet");
    const std::string paramsPath = options.Value("params");
    if (templatePath.empty())
        return options.UsageError("--template is required");
    if (sheetPath.empty() == paramsPath.empty())
        return options.UsageError("give either --sheet FILE.xls or --params FILE.json");
    if (!sheetPath.empty() && options.Has("wlan"))
        return options.UsageError("--wlan is for --params; a sheet's header decides");

    DeviceParams templateParams{};
    if (int rc = ReadTemplateFor("validate", templatePath, templateParams); rc != kExitOk)
        return rc;

    std::vector<DeviceParams> records;
    bool wlan = options.Has("wlan");
    if (!paramsPath.empty()) {
        std::string error;
        if (!ReadDeviceParamsFile(paramsPath, records, error))
            return Refuse("validate: --params " + error);
    } else {
        if (int rc = CheckInputFile("validate", "--sheet", sheetPath, nullptr, std::string());
            rc != kExitOk)
            return rc;
        std::vector<std::string> macs;
        if (int rc = ReadSheetMacs("validate", sheetPath, macs); rc != kExitOk)
            return rc;
        if (!ReadParameterSheetByMac(sheetPath, templateParams, macs, records, true))
            return Refuse("validate: --sheet " + sheetPath +
                          ": the rows cannot be read for this template");
        wlan = WlanColumns();
    }

    const std::vector<ParameterRuleFailure> failures =
        FindParameterRuleFailures(records, templateParams, wlan);
    QJsonArray array;
    for (const ParameterRuleFailure& f : failures) {
        if (options.Has("json")) {
            QJsonObject item;
            item.insert(QStringLiteral("mac"), JsonText(f.mac));
            item.insert(QStringLiteral("column"), JsonText(f.column));
            item.insert(QStringLiteral("rule"), JsonText(f.message));
            array.append(item);
        } else {
            std::printf("%s\t%s\t%s\n", TsvField(f.mac).c_str(), TsvField(f.column).c_str(),
                        TsvField(f.message).c_str());
        }
    }
    if (options.Has("json"))
        PrintJson(array);
    std::fflush(stdout);
    return failures.empty() ? kExitOk : kExitFailed;
}

} // namespace

QV_CLI_COMMAND("validate", "check a parameter sheet or JSON records without sending", RunValidate)
