#include "base/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An open descriptor for reading; closed with the object.
class ReadDescriptor {
public:
    // O_NONBLOCK: opening a FIFO with no writer returns at once instead of
    // waiting for one; the type check refuses it afterwards.
    explicit ReadDescriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ >= 0 && ::fstat(fd_, &st_) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReadDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool IsRegular() const { return fd_ >= 0 && S_ISREG(st_.st_mode); }
    std::int64_t Size() const { return static_cast<std::int64_t>(st_.st_size); }
    int Fd() const { return fd_; }

private:
    int fd_;
    struct stat st_ {};
};

} // namespace

FileKind OpenedFileKind(const std::string& path) {
    const ReadDescriptor in(path);
    if (!in.IsOpen())
        return FileKind::Missing;
    return in.IsRegular() ? FileKind::Regular : FileKind::Other;
}

std::int64_t GetFileSize(const std::string& path) {
    const ReadDescriptor in(path);
    return in.IsRegular() && in.Size() > 0 ? in.Size() : 0;
}

bool HasSuffix(const std::string& path, const char* suffix) {
    const std::string_view s(suffix);
    return path.size() >= s.size() && std::string_view(path).substr(path.size() - s.size()) == s;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    const ReadDescriptor in(path);
    if (!in.IsRegular())
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const std::size_t want = std::min<std::size_t>(sizeof buffer, maxBytes + 1 - bytes.size());
        const ssize_t n = ::read(in.Fd(), buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes)
            return std::nullopt;
    }
}
