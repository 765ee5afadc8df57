#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Run as root, the program must not work in a folder another local user
// controls: whoever can write there can plant links and files for root to
// follow. A folder is trusted when it is owned by root or by the user who
// called the program through sudo ($SUDO_UID) and not writable by group or
// others.

// The folders checked at start-up: the program folder and those of its
// working folders (Log/, ModifyExcel/, ModifyXml/) that exist. dir ends with '/'.
std::vector<std::string> WorkingFolders(const std::string& dir);

// The refusal text for the first untrusted folder among folders (each looked
// at through any link, as the program will use it), or empty when all of them
// are trusted or the process does not run as root. effectiveUid and sudoUid
// are parameters so tests can ask for any case; sudoUid < 0 when unset.
std::string UntrustedFolderMessage(const std::vector<std::string>& folders, uid_t effectiveUid,
                                   long sudoUid);

// The same for this process: geteuid() and $SUDO_UID, over WorkingFolders(dir).
std::string UntrustedProgramFolderMessage(const std::string& dir);
