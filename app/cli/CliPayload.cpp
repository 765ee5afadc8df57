#include "app/cli/CliPayload.h"

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "base/FileUtil.h"
#include "payload/ConfigXml.h"
#include "payload/LogoImage.h"

#include <cstdio>

MessageAnswer PushMessageSink::Show(const std::string& text, MessageIcon icon,
                                    const std::string& caption) {
    if (icon == MessageIcon::Question)
        return MessageAnswer::Ok;
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return MessageAnswer::Ok;
}

bool CliSheet::ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                         int deviceCount, std::vector<DeviceParams>& records) {
    readFailed = !CParameterSheet::ReadSheet(sheetPath, templateParams, deviceCount, records);
    return !readFailed;
}

bool CliSheet::OpenSheet(const std::string&) {
    ruleFailed = true;
    return true;
}

int CheckChosenFiles(const PayloadChoice& o) {
    if (!o.config.empty()) {
        if (int rc = CheckInputFile(o.command, "--config", o.config, CheckTemplateSize,
                                    "the template is too large");
            rc != kExitOk)
            return rc;
    }
    if (!o.logo.empty()) {
        const auto picture = [](const std::string& path) {
            LogoPicture accepted;
            return CheckLogoFileSize(path) && CheckLogoPicture(path, accepted);
        };
        if (int rc = CheckInputFile(o.command, "--logo", o.logo, picture, "the picture is refused");
            rc != kExitOk)
            return rc;
    }
    if (!o.sheet.empty())
        return CheckInputFile(o.command, "--sheet", o.sheet, nullptr, std::string());
    return kExitOk;
}

void NameRefusedChoice(const PayloadChoice& o, const CliSheet& sheet) {
    const char* c = o.command;
    if (!o.logo.empty() && !HasSuffix(o.logo, ".jpg"))
        std::fprintf(stderr, "%s: --logo %s: the name must end in .jpg\n", c, o.logo.c_str());
    else if (!o.config.empty() && !HasSuffix(o.config, ".xml"))
        std::fprintf(stderr, "%s: --config %s: the name must end in .xml\n", c, o.config.c_str());
    else if (!o.sheet.empty() && !HasSuffix(o.sheet, ".xls"))
        std::fprintf(stderr, "%s: --sheet %s: the name must end in .xls\n", c, o.sheet.c_str());
    else if (o.config.empty() && o.logo.empty())
        std::fprintf(stderr, "%s: give --config FILE.xml, --logo FILE.jpg or both\n", c);
    else if (sheet.ruleFailed)
        std::fprintf(stderr, "%s: --sheet %s: correct the row above in the sheet and %s again\n", c,
                     o.sheet.c_str(), c);
    else if (sheet.readFailed)
        std::fprintf(stderr, "%s: --sheet %s: the rows cannot be read for this batch\n", c,
                     o.sheet.c_str());
}
