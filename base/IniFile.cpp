#include "base/IniFile.h"

#include <QString>

#include <cstdio>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// UTF-16LE bytes (after the byte-order mark) to UTF-8. An odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() / 2));
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[i]);
        const auto hi = static_cast<unsigned char>(bytes[i + 1]);
        text.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
    }
    return text.toStdString();
}

} // namespace

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t end = maxBytes;
    // Step back over continuation bytes so that the cut falls before a lead byte.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

std::string IniFile::FoldName(std::string_view name) {
    bool ascii = true;
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
    if (ascii) {
        std::string out(name);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .toCaseFolded()
        .toStdString();
}

namespace {

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> ReadAll(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[16384];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return bytes;
}

// The text of a file as UTF-8: UTF-16LE after its byte-order mark is converted
// into storage, a UTF-8 byte-order mark is skipped.
std::string_view Decode(std::string_view bytes, std::string& storage) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        storage = Utf16LeToUtf8(bytes.substr(2));
        return storage;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return bytes;
}

// Walks the lines of decoded text in order: onSection(name) for a header,
// onEntry(key, value) for a key line (names trimmed, value trimmed and
// unquoted). Either returns false to stop the walk.
template <class OnSection, class OnEntry>
void Scan(std::string_view text, OnSection onSection, OnEntry onEntry) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            line.remove_prefix(1);
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos)
                line = line.substr(0, close);
            if (!onSection(Trim(line)))
                return;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, eq));
        if (key.empty())
            continue;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (!onEntry(key, value))
            return;
    }
}

// Whether a name as written matches an already folded name.
bool NameMatches(std::string_view written, const std::string& folded) {
    bool ascii = true;
    for (char c : written)
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
    if (!ascii)
        return IniFile::FoldName(written) == folded;
    if (written.size() != folded.size())
        return false;
    for (std::size_t i = 0; i < written.size(); ++i) {
        char c = written[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != folded[i])
            return false;
    }
    return true;
}

} // namespace

IniFile IniFile::FromFile(const std::string& path) {
    const std::optional<std::string> bytes = ReadAll(path);
    return bytes ? FromBytes(*bytes) : IniFile();
}

IniFile IniFile::FromBytes(std::string_view bytes) {
    IniFile ini;
    ini.exists_ = true;
    std::string storage;
    Section* current = nullptr; // null before the first header, or inside a repeated one
    Scan(
        Decode(bytes, storage),
        [&](std::string_view name) {
            std::string folded = FoldName(name);
            current = nullptr;
            for (const Section& s : ini.sections_)
                if (s.foldedName == folded)
                    return true;
            ini.sections_.push_back(Section{std::move(folded), {}});
            current = &ini.sections_.back();
            return true;
        },
        [&](std::string_view key, std::string_view value) {
            if (current)
                current->entries.push_back(Entry{FoldName(key), std::string(value)});
            return true;
        });
    return ini;
}

std::optional<std::string> IniFile::FindInBytes(std::string_view bytes, std::string_view section,
                                                std::string_view key) {
    const std::string foldedSection = FoldName(Trim(section));
    const std::string foldedKey = FoldName(Trim(key));
    std::string storage;
    bool inside = false; // within the first section of that name
    std::optional<std::string> found;
    Scan(
        Decode(bytes, storage),
        [&](std::string_view name) {
            if (inside)
                return false; // only the first section of a name counts
            inside = NameMatches(name, foldedSection);
            return true;
        },
        [&](std::string_view k, std::string_view value) {
            if (!inside || !NameMatches(k, foldedKey))
                return true;
            found = std::string(value);
            return false;
        });
    return found;
}

std::optional<std::string> IniFile::FindInFile(const std::string& path, std::string_view section,
                                               std::string_view key) {
    const std::optional<std::string> bytes = ReadAll(path);
    return bytes ? FindInBytes(*bytes, section, key) : std::nullopt;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const std::string foldedSection = FoldName(Trim(section));
    for (const Section& s : sections_) {
        if (s.foldedName != foldedSection)
            continue;
        const std::string foldedKey = FoldName(Trim(key));
        for (const Entry& e : s.entries)
            if (e.foldedKey == foldedKey)
                return e.value;
        return std::nullopt;
    }
    return std::nullopt;
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view defaultText) const {
    std::optional<std::string> v = Find(section, key);
    return v ? *v : std::string(defaultText);
}
