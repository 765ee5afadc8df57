#include "base/ProgramDirectory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QV_RELATIVE_RESOURCE_DIR
#define QV_RELATIVE_RESOURCE_DIR "../share/quorvantix"
#endif

namespace {
std::mutex g_lock;
bool g_resolved = false;
ProgramFolders g_folders;

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    return WithSlash(exe.parent_path().string());
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The user's home from the environment, else from the password database.
std::string UserHome(const char* userHome) {
    if (userHome && userHome[0] == '/')
        return userHome;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return "/";
}

// Makes one folder 0700 unless it exists; an existing one must be a folder
// (a symbolic link to one is followed only for the parents).
bool MakeFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) == 0)
        return true;
    if (errno == EEXIST && IsFolder(path))
        return true;
    error = "cannot make the working folder " + path + ": " +
            (errno == EEXIST ? std::string("exists and is not a folder") : std::strerror(errno));
    return false;
}

void ResolveOnce() {
    if (g_resolved)
        return;
    g_resolved = true;
    g_folders = ResolveProgramFolders(ExecutableFolder(), std::getenv("QUORVANTIX_HOME"),
                                      std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                      QV_RELATIVE_RESOURCE_DIR);
    if (g_folders.installed) {
        std::string error;
        if (!PrepareWorkingFolder(g_folders.working, error))
            std::fprintf(stderr, "quorvantix: %s\n", error.c_str());
    }
}
} // namespace

ProgramFolders ResolveProgramFolders(const std::string& exeDir, const char* homeDir,
                                     const char* xdgDataHome, const char* userHome,
                                     const std::string& relativeResources) {
    ProgramFolders f;
    if (homeDir && *homeDir) {
        f.working = f.resources = WithSlash(homeDir);
        return f;
    }
    const std::string exe = WithSlash(exeDir);
    const std::string shared = WithSlash(exe + relativeResources);
    // A build folder carries its resources beside the programs.
    if (IsRegularFile(exe + "Setting.ini") || !IsFolder(shared)) {
        f.working = f.resources = exe;
        return f;
    }
    f.installed = true;
    f.resources = WithSlash(std::filesystem::path(shared).lexically_normal().string());
    // The base folder of user data files must be absolute; anything else is ignored.
    const std::string dataHome = (xdgDataHome && xdgDataHome[0] == '/')
                                     ? WithSlash(xdgDataHome)
                                     : WithSlash(UserHome(userHome)) + ".local/share/";
    f.working = dataHome + "quorvantix/";
    return f;
}

bool PrepareWorkingFolder(const std::string& dir, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(dir).lexically_normal();
    // Parents first, each made 0700 when missing.
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        const std::string text = partial.string();
        if (part.empty() || text == "/" || IsFolder(text))
            continue;
        if (!MakeFolder(text, error))
            return false;
    }
    for (const char* sub : {"ModifyXml", "ModifyExcel", "Log"}) {
        if (!MakeFolder(WithSlash(folder.string()) + sub, error))
            return false;
    }
    return true;
}

std::string GetProgramDirectory() {
    std::lock_guard<std::mutex> guard(g_lock);
    ResolveOnce();
    return g_folders.working;
}

std::string GetResourceDirectory() {
    std::lock_guard<std::mutex> guard(g_lock);
    ResolveOnce();
    return g_folders.resources;
}

std::string GetExecutableDirectory() {
    return ExecutableFolder();
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_resolved = true;
    g_folders = ProgramFolders{WithSlash(dir), WithSlash(dir), false};
}

void SetProgramFolders(const ProgramFolders& folders) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_resolved = true;
    g_folders =
        ProgramFolders{WithSlash(folders.working), WithSlash(folders.resources), folders.installed};
}

std::string FindResourceFile(const std::string& workingDir, const std::string& relative) {
    ProgramFolders folders;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        ResolveOnce();
        folders = g_folders;
    }
    if (WithSlash(workingDir) != folders.working || folders.working == folders.resources)
        return workingDir + relative;
    const std::string own = folders.working + relative;
    return IsRegularFile(own) ? own : folders.resources + relative;
}
