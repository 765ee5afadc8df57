#pragma once

#include <string>

// The program folder: every file of the system is found relative to it
// (Setting.ini, Languages/, Skin/, ExcelTemplate/, ModifyExcel/, ModifyXml/,
// Log/ and the database file). The text always ends with '/'.
//
// By default it is the folder of the running executable. QUORVANTIX_HOME, or
// SetProgramDirectory (used by --home and by tests), overrides it.
std::string GetProgramDirectory();

// Sets the folder used from now on; a missing trailing '/' is added.
void SetProgramDirectory(const std::string& dir);
