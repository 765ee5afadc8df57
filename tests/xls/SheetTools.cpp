#include "tests/xls/SheetTools.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace sheettest {

namespace {

std::string Capture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    pclose(p);
    return out;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

} // namespace

bool HaveLibreOffice() {
    return std::system("command -v soffice >/dev/null 2>&1") == 0;
}
bool HaveGnumeric() {
    return std::system("command -v ssconvert >/dev/null 2>&1") == 0;
}
bool HaveXlrd() {
    return std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") == 0;
}

std::string LibreOfficeToXls(const std::string& input, const std::string& outDir) {
    // A private profile per process, so parallel runs do not share one.
    std::string profile = "/tmp/qv-lo-profile-" + std::to_string(getpid());
    std::string cmd = "HOME=/tmp soffice --headless -env:UserInstallation=file://" + profile +
                      " --infilter=CSV:44,34,76 --convert-to xls --outdir " + Quote(outDir) + " " +
                      Quote(input) + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return {};
    std::string out = outDir + "/" + std::filesystem::path(input).stem().string() + ".xls";
    return std::filesystem::exists(out) ? out : std::string();
}

std::string LibreOfficeToCsv(const std::string& input, const std::string& outDir) {
    std::string profile = "/tmp/qv-lo-profile-" + std::to_string(getpid());
    std::string cmd = "HOME=/tmp soffice --headless -env:UserInstallation=file://" + profile +
                      " --convert-to csv --outdir " + Quote(outDir) + " " + Quote(input) +
                      " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return {};
    std::ifstream f(outDir + "/" + std::filesystem::path(input).stem().string() + ".csv",
                    std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string GnumericToXls(const std::string& input, const std::string& output) {
    std::string cmd = "ssconvert --recalc -T Gnumeric_Excel:excel_biff8 " + Quote(input) + " " +
                      Quote(output) + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !std::filesystem::exists(output))
        return {};
    return output;
}

std::string XlrdRun(const std::string& path, const std::string& snippet) {
    std::string script = "import sys, xlrd\npath = sys.argv[1]\n" + snippet;
    std::string file = "/tmp/qv-xlrd-" + std::to_string(getpid()) + ".py";
    std::ofstream(file) << script;
    std::string out = Capture("/usr/bin/python3 " + file + " " + Quote(path) + " 2>&1");
    std::remove(file.c_str());
    return out;
}

std::vector<std::string> XlrdCells(const std::string& path) {
    std::string out = XlrdRun(path, R"(
b = xlrd.open_workbook(path)
s = b.sheet_by_index(0)
for r in range(s.nrows):
    for c in range(s.ncols):
        cell = s.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_EMPTY or cell.ctype == xlrd.XL_CELL_BLANK:
            continue
        v = cell.value
        if cell.ctype == xlrd.XL_CELL_NUMBER:
            v = repr(v)
            if v.endswith('.0'):
                v = v[:-2]
        elif cell.ctype == xlrd.XL_CELL_ERROR:
            v = xlrd.error_text_from_code[v]
        elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
            v = 'TRUE' if v else 'FALSE'
        sys.stdout.buffer.write(('%d,%d=%s\n' % (r, c, v)).encode('utf-8'))
)");
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace sheettest
