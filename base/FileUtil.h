#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Small file helpers shared by the template, logo and sheet code. Input files
// may be links the operator made; what they open must be a regular file. They
// are opened without waiting (a FIFO cannot hold the program) and read within
// a bound (a device such as /dev/zero cannot fill memory).

// What path opens as, following links.
enum class FileKind {
    Missing, // cannot be opened for reading
    Regular,
    Other, // a folder, FIFO, device or socket
};
FileKind OpenedFileKind(const std::string& path);

// The size in bytes of the regular file path opens; 0 when it cannot be opened
// or is not a regular file.
std::int64_t GetFileSize(const std::string& path);

// True when path ends exactly in suffix (".xml", ".xls", ".jpg"); case-sensitive.
bool HasSuffix(const std::string& path, const char* suffix);

// The whole file, or nullopt when it cannot be read, is not a regular file or
// holds more than maxBytes (at most maxBytes + 1 bytes are read to tell). The
// file is opened once and read from that one descriptor.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);
