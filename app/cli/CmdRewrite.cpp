// quorvantix-cli rewrite: one device's configuration copy, as a submission
// writes it, so the rewriting can be checked from outside.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliSupport.h"
#include "base/FileUtil.h"
#include "payload/ConfigXml.h"
#include "payload/DeviceParamsJson.h"
#include "payload/Submission.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "rewrite", "--template FILE.xml --mac MAC [--params FILE.json] [-o FILE]",
    "Writes the configuration copy a push would send to the device: the template with the\n"
    "record's values, or unchanged without --params. The record is the file's only one, or\n"
    "the one whose \"mac\" is the device's. JSON keys are the parameter sheet's column names\n"
    "(see validate --help). The copy goes to ModifyXml/<MAC>.xml, or with -o to FILE instead.",
    "the path of the copy written, one line",
    "0  the copy was written\n"
    "2  usage error or refused input (nothing written)"};

int RunRewrite(const std::vector<std::string>& args) {
    CliOptions options(kHelp,
                       {{"template", "FILE.xml", "the configuration template"},
                        {"mac", "MAC", "the device (aa:bb:cc:dd:ee:ff or AA-BB-...)"},
                        {"params", "FILE.json", "the device's record (an object or an array)"},
                        {"o,output", "FILE", "write the copy to FILE (mode 0600) instead"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    const std::string templatePath = options.Value("template");
    const std::string paramsPath = options.Value("params");
    const std::string outputPath = options.Value("output");
    if (templatePath.empty() || !options.Has("mac"))
        return options.UsageError("--template and --mac are required");
    if (options.Has("output") && outputPath.empty())
        return options.UsageError("-o needs a file name");
    std::string mac;
    if (!NormaliseMac(options.Value("mac"), mac))
        return Refuse("rewrite: --mac " + options.Value("mac") + ": not a MAC address");
    if (int rc = CheckInputFile("rewrite", "--template", templatePath, CheckTemplateSize,
                                "the template is too large");
        rc != kExitOk)
        return rc;

    DeviceParams device{};
    const bool haveParams = !paramsPath.empty();
    if (haveParams) {
        std::vector<DeviceParams> records;
        std::string error;
        if (!ReadDeviceParamsFile(paramsPath, records, error))
            return Refuse("rewrite: --params " + error);
        const DeviceParams* chosen = records.size() == 1 ? &records.front() : nullptr;
        for (const DeviceParams& r : records) {
            std::string recordMac;
            if (!chosen && NormaliseMac(std::string(FieldText(r.mac)), recordMac) &&
                recordMac == mac)
                chosen = &r;
        }
        if (!chosen)
            return Refuse("rewrite: --params " + paramsPath + ": no record has \"mac\": \"" + mac +
                          "\"");
        device = *chosen;
    }
    DeviceParams templateParams;
    ParseTemplateXml(templatePath, templateParams);

    std::string output;
    if (!BuildDeviceXml(templatePath, haveParams, device, mac, templateParams.dualBand, output))
        return Refuse("rewrite: the copy for " + mac + " cannot be written to " + output);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(output, ec))
        return Refuse("rewrite: the copy for " + mac + " cannot be written to " + output);
    if (!outputPath.empty()) {
        const std::optional<std::string> bytes = ReadWholeFile(output, 16u << 20);
        std::string error;
        const bool written = bytes && WriteOutputFile(outputPath, *bytes, error);
        // The working copy holds the device's secrets; only the chosen file keeps them.
        std::filesystem::remove(output, ec);
        if (!written)
            return Refuse("rewrite: -o " + outputPath + ": " + (bytes ? error : "cannot copy"));
        output = outputPath;
    }
    std::printf("%s\n", output.c_str());
    return kExitOk;
}

} // namespace

QV_CLI_COMMAND("rewrite", "write one device's configuration copy", RunRewrite)
