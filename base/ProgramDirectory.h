#pragma once

#include <string>

// The program's folders. Every file of the system is found relative to one of
// them; each text always ends with '/'.
//
// - the resource folder holds the shipped, read-only files: Setting.ini,
//   Languages/, Skin/, ExcelTemplate/;
// - the working folder (the program directory) holds what the program writes:
//   ModifyXml/, ModifyExcel/, Log/ and the database file.
//
// Run from the build folder (Setting.ini beside the executable), or with
// --home DIR / QUORVANTIX_HOME, the two are one folder: the executable's folder
// or DIR. Installed (the executable in <prefix>/bin, the resources in
// <prefix>/share/quorvantix/), the working folder is $XDG_DATA_HOME/quorvantix,
// else ~/.local/share/quorvantix, made 0700 with its subfolders on first use.

// The working folder.
std::string GetProgramDirectory();

// The folder of the shipped resources.
std::string GetResourceDirectory();

// The folder of the running executable (where the sibling programs are).
std::string GetExecutableDirectory();

// Sets both folders to dir from now on (--home, tests); a missing trailing '/'
// is added.
void SetProgramDirectory(const std::string& dir);

// The file to read for a resource that the operator may override in the
// working folder (Setting.ini, Languages/...): for the program's own working
// folder, its copy when that is a regular file, else the shipped one; for any
// other folder, the file below that folder.
std::string FindResourceFile(const std::string& workingDir, const std::string& relative);

// The two folders as one value, and how they were chosen.
struct ProgramFolders {
    std::string working;
    std::string resources;
    bool installed = false; // the two differ; the working folder may need making
};

// Chooses the folders for an executable in exeDir. homeDir is --home or
// QUORVANTIX_HOME (null or empty: none); xdgDataHome and userHome are the
// environment's values (either may be null). relativeResources leads from the
// executable's folder to the installed resources ("../share/quorvantix").
ProgramFolders ResolveProgramFolders(const std::string& exeDir, const char* homeDir,
                                     const char* xdgDataHome, const char* userHome,
                                     const std::string& relativeResources);

// Sets both folders at once (tests).
void SetProgramFolders(const ProgramFolders& folders);

// Makes the working folder (0700, parents 0700 as needed) and its ModifyXml/,
// ModifyExcel/ and Log/ folders (0700) where they are missing; an existing
// folder keeps its mode. False, with a message naming the folder, when one
// cannot be made or is not a folder.
bool PrepareWorkingFolder(const std::string& dir, std::string& error);
