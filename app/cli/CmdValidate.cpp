// quorvantix-cli validate: the parameter rules on JSON records, against the
// template's record, so the rules can be checked from outside.

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "payload/ConfigXml.h"
#include "payload/DeviceParamsJson.h"
#include "payload/ParameterRules.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int RunValidate(const std::vector<std::string>& args) {
    std::string templatePath, paramsPath;
    bool wlan = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--wlan") {
            wlan = true;
        } else if ((a == "--template" || a == "--params") && i + 1 < args.size()) {
            (a == "--template" ? templatePath : paramsPath) = args[++i];
        } else {
            return Refuse("validate: unexpected argument " + a +
                          " (usage: validate --template FILE --params FILE.json [--wlan])");
        }
    }
    if (templatePath.empty() || paramsPath.empty())
        return Refuse("validate: --template and --params are required");

    std::vector<DeviceParams> records;
    std::string error;
    if (!ReadDeviceParamsFile(paramsPath, true, records, error))
        return Refuse("validate: " + error);
    DeviceParams templateParams;
    if (!ParseTemplateXml(templatePath, templateParams)) {
        ShowMessage(TranslateText(std::string("Analysis xml settting error?")),
                    MessageIcon::Exclamation);
        return kExitRefused;
    }
    if (!ValidateParameterRecords(records, templateParams, wlan))
        return kExitRefused; // the rule's message has been shown
    return kExitOk;
}

} // namespace

QV_CLI_COMMAND("validate", "validate --template FILE --params FILE.json [--wlan]", RunValidate)
