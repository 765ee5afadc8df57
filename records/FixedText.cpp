#include "records/FixedText.h"

#include <cstring>

namespace fixedtext {

namespace {
bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}
} // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    unsigned char second_min = 0x80, second_max = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            second_min = 0xA0; // no overlong forms
        else if (lead == 0xED)
            second_max = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            second_min = 0x90;
        else if (lead == 0xF4)
            second_max = 0x8F; // nothing above U+10FFFF
    } else {
        return 1;
    }
    if (text.size() - pos < length)
        return 1;
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second < second_min || second > second_max)
        return 1;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i])))
            return 1;
    }
    return length;
}

std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        ++count;
    return count;
}

std::optional<std::string> ToColumn(std::string_view text, std::size_t width) {
    if (text.empty())
        return std::nullopt;
    std::size_t pos = 0, chars = 0;
    while (pos < text.size() && chars < width) {
        pos += CharLength(text, pos);
        ++chars;
    }
    std::string value(text.substr(0, pos));
    value.append(width - chars, ' ');
    return value;
}

std::string_view FromField(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    return {field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size};
}

void ColumnToField(std::string_view value, std::size_t width, char* field, std::size_t size) {
    if (size == 0)
        return;
    std::memset(field, 0, size);
    const std::size_t room = size - 1;
    std::size_t pos = 0, chars = 0;
    while (pos < value.size()) {
        const std::size_t length = CharLength(value, pos);
        if (pos + length > room)
            break;
        pos += length;
        ++chars;
    }
    if (pos > 0)
        std::memcpy(field, value.data(), pos);
    // An empty value is a NULL column: it stays empty, never a row of blanks.
    if (!value.empty() && pos == value.size()) {
        for (; chars < width && pos < room; ++chars)
            field[pos++] = ' ';
    }
}

} // namespace fixedtext
