#include "base/FolderTrust.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> WorkingFolders(const std::string& dir) {
    std::vector<std::string> out{dir};
    for (const char* sub : {"Log/", "ModifyExcel/", "ModifyXml/"}) {
        struct stat st {};
        if (::lstat((dir + sub).c_str(), &st) == 0)
            out.push_back(dir + sub);
    }
    return out;
}

std::string UntrustedFolderMessage(const std::vector<std::string>& folders, uid_t effectiveUid,
                                   long sudoUid) {
    if (effectiveUid != 0)
        return {};
    for (const std::string& folder : folders) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0)
            continue; // a folder that is not there yet is made by the program itself
        const bool ownerTrusted =
            st.st_uid == 0 || (sudoUid >= 0 && static_cast<long>(st.st_uid) == sudoUid);
        if (!ownerTrusted)
            return "Refusing to run as root: the folder " + folder + " is owned by user " +
                   std::to_string(st.st_uid) + ".";
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            return "Refusing to run as root: the folder " + folder +
                   " is writable by group or others.";
    }
    return {};
}

std::string UntrustedProgramFolderMessage(const std::string& dir) {
    long sudoUid = -1;
    if (const char* text = std::getenv("SUDO_UID"); text && *text) {
        char* end = nullptr;
        const long v = std::strtol(text, &end, 10);
        if (end && *end == '\0' && v >= 0)
            sudoUid = v;
    }
    return UntrustedFolderMessage(WorkingFolders(dir), ::geteuid(), sudoUid);
}
