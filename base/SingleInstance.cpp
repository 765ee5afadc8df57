#include "base/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr const char* kLockName = "Norva_Quorvantix.lock";

std::mutex g_lock;
// Lock file path -> descriptor, kept open (and so the lock held) until the process ends.
std::map<std::string, int> g_held;
} // namespace

std::string SingleInstanceLockDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (runtime && *runtime) ? std::string(runtime) : std::string("/tmp");
}

InstanceGuard AcquireSingleInstance(const std::string& lockDirectory) {
    std::lock_guard<std::mutex> guard(g_lock);
    std::string dir = lockDirectory.empty() ? SingleInstanceLockDirectory() : lockDirectory;
    if (dir.back() != '/')
        dir += '/';
    const std::string path = dir + kLockName;
    if (g_held.count(path))
        return InstanceGuard::First;
    // Read-only is enough for flock and lets a file made by another user serve as
    // well; O_NOFOLLOW keeps a planted link in /tmp from redirecting the create.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return InstanceGuard::Unavailable;
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
