// quorvantix-cli rewrite: one device's configuration copy, as a submission
// writes it, so the rewriting can be checked from outside.

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "payload/ConfigXml.h"
#include "payload/DeviceParamsJson.h"
#include "payload/Submission.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int RunRewrite(const std::vector<std::string>& args) {
    std::string templatePath, mac, paramsPath;
    bool haveParams = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--template" || a == "--mac" || a == "--params") && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (a == "--template")
                templatePath = v;
            else if (a == "--mac")
                mac = v;
            else {
                paramsPath = v;
                haveParams = true;
            }
        } else {
            return Refuse("rewrite: unexpected argument " + a +
                          " (usage: rewrite --template FILE --mac MAC [--params FILE.json])");
        }
    }
    if (templatePath.empty() || mac.empty())
        return Refuse("rewrite: --template and --mac are required");
    std::uint8_t bytes[6];
    if (!ParseMacText(mac, bytes))
        return Refuse("rewrite: not a MAC address: " + mac);
    if (!CheckTemplateSize(templatePath))
        return kExitRefused;

    DeviceParams device{};
    if (haveParams) {
        std::vector<DeviceParams> records;
        std::string error;
        if (!ReadDeviceParamsFile(paramsPath, false, records, error))
            return Refuse("rewrite: " + error);
        device = records.front();
    }
    // An unreadable template is reported by BuildDeviceXml itself.
    DeviceParams templateParams;
    ParseTemplateXml(templatePath, templateParams);

    std::string output;
    if (!BuildDeviceXml(templatePath, haveParams, device, mac, templateParams.dualBand, output))
        return kExitRefused; // the message has been shown
    std::error_code ec;
    if (!std::filesystem::exists(output, ec))
        return Refuse("rewrite: cannot write " + output);
    std::printf("%s\n", output.c_str());
    return kExitOk;
}

} // namespace

QV_CLI_COMMAND("rewrite", "rewrite --template FILE --mac MAC [--params FILE.json]", RunRewrite)
