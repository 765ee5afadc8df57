#include "records/FixedText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace fixedtext;

TEST(FixedText, CountsCharactersNotBytes) {
    struct Case {
        std::string text;
        std::size_t chars;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xA9t\xC3\xA9", 3},        // été
        {"\xE4\xB8\xAD\xE6\x96\x87", 2}, // two CJK characters
        {"\xF0\x9F\x98\x80", 1},         // one 4-byte character
        {"\xC3", 1},                     // cut sequence: one byte, one character
        {"\x80\x80", 2},                 // stray continuation bytes
        {"\xE4\xB8", 2},                 // truncated 3-byte sequence
        {"\xC0\xAF", 2},                 // overlong form is not one character
        {std::string("a\0b", 3), 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CharCount(c.text), c.chars) << c.text;
}

TEST(FixedText, ColumnValueIsCutAndPaddedToWidth) {
    EXPECT_EQ(ToColumn("", 18), std::nullopt);
    EXPECT_EQ(ToColumn("abc", 5), std::optional<std::string>("abc  "));
    EXPECT_EQ(ToColumn("abcdef", 4), std::optional<std::string>("abcd"));
    EXPECT_EQ(ToColumn(" ", 3), std::optional<std::string>("   "));
    // Width counts characters: two-byte characters are kept whole.
    EXPECT_EQ(ToColumn("\xC3\xA9\xC3\xA9\xC3\xA9", 2),
              std::optional<std::string>("\xC3\xA9\xC3\xA9"));
    EXPECT_EQ(ToColumn("\xC3\xA9", 3), std::optional<std::string>("\xC3\xA9  "));
}

TEST(FixedText, FieldWithoutZeroIsReadWholeButNeverPast) {
    const char field[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    EXPECT_EQ(FromField(field, 4), "abcd");
    const char shorter[6] = {'a', 'b', 0, 'x', 'y', 'z'};
    EXPECT_EQ(FromField(shorter, 6), "ab");
    EXPECT_EQ(FromField(shorter, 0), "");
}

TEST(FixedText, ColumnToFieldPadsAndCutsOnCharacterBoundary) {
    struct Case {
        std::string value;
        std::size_t width;
        std::size_t size;
        std::string expected;
    } cases[] = {
        {"", 33, 34, ""},                                    // NULL stays empty
        {"abc", 5, 8, "abc  "},                              // short row padded on read
        {"abc  ", 5, 8, "abc  "},                            // already padded
        {"AA:BB:CC:DD:EE:FF ", 18, 18, "AA:BB:CC:DD:EE:FF"}, // pad blank cut by the field
        {"abcdef", 6, 4, "abc"},
        // 3 two-byte characters into 6 bytes: only 2 fit with the zero.
        {"\xC3\xA9\xC3\xA9\xC3\xA9", 3, 6, "\xC3\xA9\xC3\xA9"},
        {"a\xE4\xB8\xAD", 2, 4, "a"}, // never half a character
        {"\xE4\xB8\xAD", 1, 1, ""},
    };
    for (const auto& c : cases) {
        char field[80];
        std::memset(field, 'X', sizeof field);
        ColumnToField(c.value, c.width, field, c.size);
        EXPECT_EQ(std::string(field), c.expected) << c.value;
        for (std::size_t i = std::strlen(field); i < c.size; ++i)
            EXPECT_EQ(field[i], 0) << "byte " << i << " of " << c.value;
        EXPECT_EQ(field[c.size], 'X') << "wrote past the field: " << c.value;
    }
}
