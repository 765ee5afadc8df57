#pragma once

#include "payload/BatchReport.h"

#include <string>

// The output of push --dry-run: per device of the batch, the files it would
// receive and the template entries its copy changes (secrets masked unless
// showSecrets), as tab-separated lines or one JSON array on stdout.
// Gives kExitOk, or kExitFailed when a copy could not be written or compared
// with the template (named on stderr).
int PrintDryRun(const BatchReport& batch, const std::string& templatePath, bool json,
                bool showSecrets);

// The -o folder of a dry run, checked before anything is written: a link
// (to a folder or not) or a path that is not a folder is refused naming the
// option. A missing folder passes (it is made later). kExitOk when it passes.
int CheckCopyFolder(const char* command, const std::string& folder);
