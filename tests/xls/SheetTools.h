#pragma once

#include <string>
#include <vector>

// Helpers that make workbooks with the spreadsheet programs installed on the
// machine and read workbooks with python3-xlrd, to check this layer against them.
namespace sheettest {

bool HaveLibreOffice();
bool HaveGnumeric();
bool HaveXlrd();

// Converts a UTF-8 CSV file (or any file LibreOffice opens) to .xls in outDir;
// the new file's path, or "" on failure.
std::string LibreOfficeToXls(const std::string& input, const std::string& outDir);
// Converts a workbook to CSV (sheet 0) with LibreOffice; the CSV text, or "" on failure.
std::string LibreOfficeToCsv(const std::string& input, const std::string& outDir);
// Reads and re-saves a workbook with Gnumeric; "" on failure.
std::string GnumericToXls(const std::string& input, const std::string& output);

// Every cell of sheet 0 as xlrd sees it: one "row,col=text" per non-empty cell,
// numbers in their shortest text ("100", "3.5").
std::vector<std::string> XlrdCells(const std::string& path);
// Runs a python3 snippet with xlrd imported and `path` bound; its stdout.
std::string XlrdRun(const std::string& path, const std::string& snippet);

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace sheettest
