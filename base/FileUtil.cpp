#include "base/FileUtil.h"

#include <filesystem>
#include <fstream>
#include <string_view>

std::int64_t GetFileSize(const std::string& path) {
    // A folder opens on Linux but has no size as a file.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return 0;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return 0;
    const std::streamoff end = in.tellg();
    return end < 0 ? 0 : static_cast<std::int64_t>(end);
}

bool HasSuffix(const std::string& path, const char* suffix) {
    const std::string_view s(suffix);
    return path.size() >= s.size() && std::string_view(path).substr(path.size() - s.size()) == s;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > maxBytes)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return bytes;
}
