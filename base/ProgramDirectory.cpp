#include "base/ProgramDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace {
std::mutex g_lock;
std::string g_dir;

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
} // namespace

std::string GetProgramDirectory() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_dir.empty()) {
        const char* home = std::getenv("QUORVANTIX_HOME");
        g_dir = (home && *home) ? WithSlash(home) : ExecutableFolder();
    }
    return g_dir;
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_dir = WithSlash(dir);
}
