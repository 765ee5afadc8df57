#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Small file helpers shared by the template, logo and sheet code.

// The file's size in bytes, measured by opening it and seeking to its end;
// 0 when it cannot be opened or is a folder.
std::int64_t GetFileSize(const std::string& path);

// True when path ends exactly in suffix (".xml", ".xls", ".jpg"); case-sensitive.
bool HasSuffix(const std::string& path, const char* suffix);

// The whole file, or nullopt when it cannot be read or holds more than
// maxBytes (at most maxBytes + 1 bytes are read to tell).
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);
