#include "base/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kLockName = "Norva_Quorvantix.lock";

std::mutex g_lock;
// Lock file path -> descriptor, kept open (and so the lock held) until the process ends.
std::map<std::string, int> g_held;

std::string UserName() {
    const uid_t uid = ::geteuid();
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name &&
        *found->pw_name && std::string(found->pw_name).find('/') == std::string::npos)
        return found->pw_name;
    return std::to_string(uid);
}

// A folder nobody else can plant anything in: a real folder (not a link),
// owned by this user, writable by no one else.
bool IsOwnFolder(const std::string& dir) {
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
} // namespace

std::string SingleInstanceLockDirectory() {
    // A runtime folder of someone else (sudo may pass the caller's on) is not used.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsOwnFolder(runtime))
        return runtime;
    return "/tmp/quorvantix-" + UserName();
}

InstanceGuard AcquireSingleInstance(const std::string& lockDirectory) {
    std::lock_guard<std::mutex> guard(g_lock);
    std::string dir = lockDirectory.empty() ? SingleInstanceLockDirectory() : lockDirectory;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    // The fallback folder under /tmp is made on first use; any folder must
    // then be the user's own.
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return InstanceGuard::Unavailable;
    if (!IsOwnFolder(dir))
        return InstanceGuard::Unavailable;
    const std::string path = dir + "/" + kLockName;
    if (g_held.count(path))
        return InstanceGuard::First;
    // Read-only is enough for flock. O_NOFOLLOW: a link is refused;
    // O_NONBLOCK: a FIFO planted at the name cannot hold the open, and the
    // type check below refuses it.
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return InstanceGuard::Unavailable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return InstanceGuard::Unavailable;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? InstanceGuard::AlreadyRuns : InstanceGuard::Unavailable;
    }
    g_held.emplace(path, fd);
    return InstanceGuard::First;
}
