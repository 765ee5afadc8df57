#include "base/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool IsRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool AppendToFile(const std::string& path, std::string_view bytes) {
    // O_NONBLOCK: a FIFO planted at the name must not hold the open; it is
    // refused by the type check right after.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const int flags = ::fcntl(fd, F_GETFL);
        ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && WriteAll(fd, bytes);
    }
    return ::close(fd) == 0 && ok;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.back() == '/')
        return false;
    std::vector<char> name(path.begin(), path.end());
    for (const char c : std::string_view(".new-XXXXXX"))
        name.push_back(c);
    name.push_back('\0');
    // mkostemp creates with O_CREAT|O_EXCL and mode 0600: an existing name,
    // link or not, is never opened.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes);
    ok = ::close(fd) == 0 && ok;
    // rename replaces whatever is at path, a link included, without following it.
    if (ok)
        ok = ::rename(name.data(), path.c_str()) == 0;
    if (!ok)
        ::unlink(name.data());
    return ok;
}

bool MakeFolders(const std::string& path) {
    if (path.empty())
        return false;
    std::string prefix;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        prefix = path.substr(0, slash);
        at = slash + 1;
        if (prefix.empty() || prefix.back() == '/')
            continue;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::string whole = path;
    while (whole.size() > 1 && whole.back() == '/')
        whole.pop_back();
    return IsRealFolder(whole);
}
