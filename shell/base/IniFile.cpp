#include "shell/base/IniFile.h"

#include <QString>

#include <fstream>
#include <iterator>

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

IniFile IniFile::FromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return IniFile();
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return IniFile();
    return FromBytes(bytes);
}

IniFile IniFile::FromBytes(std::string_view bytes) {
    IniFile ini;
    ini.exists_ = true;

    std::string converted;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        converted = Utf16LeToUtf8(bytes.substr(2));
        bytes = converted;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }

    Section* current = nullptr; // null before the first header, or inside a repeated one
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = Trim(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            line.remove_prefix(1);
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos)
                line = line.substr(0, close);
            std::string folded = FoldName(Trim(line));
            current = nullptr;
            bool repeated = false;
            for (const Section& s : ini.sections_)
                if (s.foldedName == folded)
                    repeated = true;
            if (!repeated) {
                ini.sections_.push_back(Section{std::move(folded), {}});
                current = &ini.sections_.back();
            }
            continue;
        }
        if (!current)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = Trim(line.substr(0, eq));
        if (key.empty())
            continue;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->entries.push_back(Entry{FoldName(key), std::string(value)});
    }
    return ini;
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
