// quorvantix-cli sheet export: writes the parameter sheet for a batch of
// devices from a configuration template, as the parameter submission dialog
// does before it opens the sheet, and prints the sheet's path. With an
// adapter it searches first, so the devices' stored radio values fill the
// radio columns.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliProgress.h"
#include "app/cli/CliSupport.h"
#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "link/AcTransmitManage.h"
#include "payload/ConfigXml.h"
#include "payload/ParameterSheet.h"
#include "records/CSqlManagement.h"
#include "xls/XlsWorkbook.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "sheet export",
    "--template FILE.xml [--adapter IFACE [--broadcasts N]] (--mac MAC... | --all) "
    "[-o FILE] [--json]",
    "Writes the parameter sheet of a batch: one row per device with the template's values,\n"
    "to ModifyExcel/ExcelFiels<time>.xls (or FILE). With --adapter the segment is searched\n"
    "first, so the devices' radio values fill the radio columns; --all needs it.\n"
    "Edit the sheet, then check it with validate --sheet and send it with push --sheet.",
    "the sheet's path, one line\n"
    "--json: {\"path\":..,\"rows\":[{\"mac\":..,\"WanName1\":..,\"vid1\":..,...}]}, the keys "
    "being\n"
    "the sheet's column names (as validate and rewrite read them)",
    "0  the sheet was written\n"
    "1  no device answered the search, the sheet could not be written, or a signal stopped it\n"
    "2  usage error or refused input"};

// The column name of a header cell, without its "(*...*)" remark.
std::string ColumnName(std::string header) {
    const std::size_t remark = header.find("(*");
    if (remark != std::string::npos)
        header.resize(remark);
    return header;
}

// The rows of the written sheet, keyed by column name.
bool SheetRows(const std::string& path, QJsonArray& rows) {
    auto book = XlsWorkbook::Create();
    if (!book || !book->Load(path) || !book->GetSheet(0))
        return false;
    const XlsSheet& sheet = *book->GetSheet(0);
    std::vector<QString> names;
    for (int c = 0;; ++c) {
        const std::string header = ReadCell(sheet, 0, c);
        if (header.empty())
            break;
        names.push_back(JsonText(ColumnName(header)).toString());
    }
    for (int r = 1; r < sheet.RowCount(); ++r) {
        if (ReadCell(sheet, r, 0).empty())
            continue;
        QJsonObject row;
        for (std::size_t c = 0; c < names.size(); ++c)
            row.insert(names[c], JsonText(ReadCell(sheet, r, static_cast<int>(c))));
        rows.append(row);
    }
    return true;
}

int RunSheet(const std::vector<std::string>& args) {
    CliOptions options(
        kHelp, {{"template", "FILE.xml", "the configuration template"},
                {"adapter", "IFACE", "search on this adapter first (see adapters)"},
                {"broadcasts", "N", "discovery broadcasts, one a second (default 3)"},
                {"mac", "MAC", "the devices (aa:bb:cc:dd:ee:ff or AA-BB-..., repeatable)", true},
                {"all", nullptr, "every device that answers the search"},
                {"o,output", "FILE", "write the sheet to FILE (mode 0600) instead"},
                {"json", nullptr, "print the path and the rows as one JSON object"},
                {"q,quiet", nullptr, "no progress and no notices on stderr"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    std::vector<std::string> words = options.Positional();
    if (words.empty() || words[0] != "export")
        return options.UsageError(words.empty() ? "the sub-command export is required"
                                                : "unknown sub-command " + words[0]);
    if (words.size() > 1)
        return options.UsageError("unexpected argument " + words[1]);
    int broadcasts = 3;
    if (!options.Count("broadcasts", 1, 999999, broadcasts))
        return kExitRefused;
    const std::string templatePath = options.Value("template");
    const std::string adapter = options.Value("adapter");
    const std::string outputPath = options.Value("output");
    const bool all = options.Has("all");
    std::vector<std::string> macs;
    for (const std::string& text : options.Values("mac")) {
        std::string mac;
        if (!NormaliseMac(text, mac))
            return Refuse("sheet: --mac " + text + ": not a MAC address");
        if (std::find(macs.begin(), macs.end(), mac) == macs.end())
            macs.push_back(mac);
    }
    if (templatePath.empty())
        return options.UsageError("--template is required");
    if (all == !macs.empty())
        return options.UsageError("give either --mac MAC... or --all");
    if (all && adapter.empty())
        return options.UsageError("--all needs --adapter (the devices come from a search)");
    if (options.Has("output") && outputPath.empty())
        return options.UsageError("-o needs a file name");

    DeviceParams templateParams{};
    if (int rc = ReadTemplateFor("sheet", templatePath, templateParams); rc != kExitOk)
        return rc;
    if (!CheckTemplateValues(templateParams))
        return kExitRefused;

    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen())
        return Refuse("sheet: the record store " + store->DatabasePath() + " cannot be opened");

    if (!adapter.empty()) {
        CatchStopSignals();
        AcTransmitManage* link = AcTransmitManage::GetInstance();
        if (int rc = SelectAdapterNamed(*link, adapter, "sheet"); rc != kExitOk)
            return rc;
        CliProgress progress("sheet", options.Has("quiet"));
        const bool searched = SearchSegment(*link, *store, broadcasts, &progress);
        link->Stop();
        if (!searched) {
            progress.Finish();
            std::fprintf(stderr, "sheet: stopped by a signal\n");
            CSqlManagement::Shutdown();
            return kExitFailed;
        }
    }

    std::vector<std::string> devices = macs;
    if (all) {
        devices = StoredDeviceMacs(*store);
        if (devices.empty()) {
            std::fprintf(stderr, "sheet: no device answered on %s\n", adapter.c_str());
            return kExitFailed;
        }
    }

    std::string sheetPath;
    if (!ExportParameterSheet(templateParams, devices, sheetPath, *store)) {
        ShowMessage(TranslateText(std::string("Create excel fields Info error!")),
                    MessageIcon::Exclamation, kAppCaption);
        std::fprintf(stderr, "sheet: the sheet cannot be made from %sExcelTemplate/Template.xls\n",
                     GetProgramDirectory().c_str());
        return kExitFailed;
    }
    if (!outputPath.empty()) {
        const std::optional<std::string> bytes = ReadWholeFile(sheetPath, 64u << 20);
        std::string error;
        const bool written = bytes && WriteOutputFile(outputPath, *bytes, error);
        std::error_code ec;
        std::filesystem::remove(sheetPath, ec);
        if (!written) {
            std::fprintf(stderr, "sheet: -o %s: %s\n", outputPath.c_str(),
                         bytes ? error.c_str() : "the sheet cannot be copied");
            return kExitFailed;
        }
        sheetPath = outputPath;
    }
    if (options.Has("json")) {
        QJsonArray rows;
        if (!SheetRows(sheetPath, rows)) {
            std::fprintf(stderr, "sheet: %s cannot be read back\n", sheetPath.c_str());
            return kExitFailed;
        }
        QJsonObject out;
        out.insert(QStringLiteral("path"), JsonText(sheetPath));
        out.insert(QStringLiteral("rows"), rows);
        PrintJson(out);
    } else {
        std::printf("%s\n", sheetPath.c_str());
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace

QV_CLI_COMMAND("sheet", "export the parameter sheet of a batch (sheet export --help)", RunSheet)
