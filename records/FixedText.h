#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Fixed-width text as the record table keeps it. A char(N) column holds at
// most N characters; a stored non-empty text is padded with blanks to N
// characters and read back padded; an empty text is stored as NULL. Texts are
// UTF-8; a byte that does not start a well-formed sequence counts as one
// character, so any byte string can be cut and counted without reading past it.
namespace fixedtext {

// Length in bytes of the character that starts at text[pos] (pos < size).
std::size_t CharLength(std::string_view text, std::size_t pos);

// Number of characters in text.
std::size_t CharCount(std::string_view text);

// The value a char(width) column stores for text: cut to width characters,
// padded with blanks to width characters; nothing (NULL) for an empty text.
std::optional<std::string> ToColumn(std::string_view text, std::size_t width);

// The text of a fixed field of size bytes: up to its first zero byte, or the
// whole field when it has none. Never reads past the field.
std::string_view FromField(const char* field, std::size_t size);

// Copies a char(width) column value into a field of size bytes as
// zero-terminated text: blank-padded to width characters (rows written by
// other statements may be shorter), cut on a character boundary so that the
// text and its terminating zero fit; the rest of the field is zeroed.
void ColumnToField(std::string_view value, std::size_t width, char* field, std::size_t size);

} // namespace fixedtext
