#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A read-only INI file with the semantics the settings and language files rely on:
// - section and key names match without regard to case;
// - blanks (spaces and tabs) around names and values are dropped;
// - a value enclosed in one pair of matching quotation marks (' or ") loses them;
// - a file starting with the UTF-16LE byte-order mark is read as UTF-16LE, any other
//   file as UTF-8 (a UTF-8 byte-order mark is skipped);
// - a key present with an empty value is found with the empty text; a missing key is
//   not found;
// - when a section or key occurs twice, the first occurrence counts.
// Lines starting with ';' and lines without '=' are ignored. Values are returned as UTF-8.
class IniFile {
public:
    IniFile() = default;

    // Reads a whole file. A missing or unreadable file gives an empty IniFile whose
    // Exists() is false.
    static IniFile FromFile(const std::string& path);
    // Parses the bytes of a file.
    static IniFile FromBytes(std::string_view bytes);

    // True when FromFile could read the file (or the object came from FromBytes).
    bool Exists() const { return exists_; }

    // The value of key in section, or nothing when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // The value, or defaultText when the section or key is missing.
    std::string Get(std::string_view section, std::string_view key,
                    std::string_view defaultText) const;

    // One lookup without keeping the file: the same answer as FromFile(path).Find(...)
    // or FromBytes(bytes).Find(...), stopping at the first match.
    static std::optional<std::string> FindInFile(const std::string& path, std::string_view section,
                                                 std::string_view key);
    static std::optional<std::string> FindInBytes(std::string_view bytes, std::string_view section,
                                                  std::string_view key);

    // Case-insensitive form of a section or key name (Unicode case folding).
    static std::string FoldName(std::string_view name);

private:
    struct Entry {
        std::string foldedKey;
        std::string value;
    };
    struct Section {
        std::string foldedName;
        std::vector<Entry> entries;
    };
    std::vector<Section> sections_;
    bool exists_ = false;
};

// The longest prefix of text of at most maxBytes bytes that does not end inside a
// UTF-8 sequence.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);
