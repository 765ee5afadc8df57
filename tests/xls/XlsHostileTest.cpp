#include "tests/support/TestSupport.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsCompoundFile.h"
#include "xls/XlsWorkbook.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace sheettest;

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

// A workbook saved by LibreOffice (tests/xls/fixtures/hostile.xls, made from
// hostile.csv there), loaded into memory once per test.
class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = ReadBytes(std::string(QV_XLS_FIXTURES) + "/hostile.xls");
        ASSERT_FALSE(image.empty());
        auto book = XlsWorkbook::Create();
        ASSERT_TRUE(book->LoadFromMemory(image));
    }
    // The image with its Workbook stream changed by edit.
    std::vector<uint8_t> WithStream(const std::function<void(std::vector<uint8_t>&)>& edit) {
        XlsCompoundFile cf;
        EXPECT_TRUE(cf.Load(image));
        std::vector<uint8_t> stream = *cf.FindStream(u"Workbook");
        edit(stream);
        cf.SetStream(u"Workbook", stream);
        return cf.Save();
    }
    static size_t FindRecord(const std::vector<uint8_t>& s, uint16_t type, size_t from = 0) {
        size_t pos = from;
        while (pos + 4 <= s.size()) {
            uint16_t t = uint16_t(s[pos] | (s[pos + 1] << 8));
            uint16_t len = uint16_t(s[pos + 2] | (s[pos + 3] << 8));
            if (t == type)
                return pos;
            pos += 4 + len;
        }
        return SIZE_MAX;
    }
    static bool Loads(const std::vector<uint8_t>& bytes) {
        auto book = XlsWorkbook::Create();
        bool ok = book->LoadFromMemory(bytes);
        if (ok) {
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    (void)book->GetSheet(0)->ReadStr(r, c);
        }
        return ok;
    }
    qvtest::TempProgramDir dir;
    std::vector<uint8_t> image;
};

} // namespace

TEST_F(HostileTest, TruncatedFilesFailToLoad) {
    for (size_t len = 0; len < image.size(); len += 61) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + long(len));
        // Whatever survives of a cut file, loading it must not crash; a cut
        // inside the header or the directory is always a failure.
        bool ok = Loads(cut);
        if (len < 1024) {
            EXPECT_FALSE(ok) << len;
        }
    }
}

TEST_F(HostileTest, DamagedContainersFailToLoad) {
    // A stream over several sectors, then damage to its chain.
    XlsCompoundFile cf;
    ASSERT_TRUE(cf.Load(image));
    cf.SetStream(u"Padding", std::vector<uint8_t>(6000, 1));
    const std::vector<uint8_t> good = cf.Save();
    ASSERT_TRUE(Loads(good));
    const uint32_t fat0 = Get32(good, 76);
    auto fatEntry = [&](uint32_t sector) { return (size_t(fat0) + 1) * 512 + 4 * sector; };
    // Find the Padding entry and its first sector.
    size_t entry = SIZE_MAX;
    for (size_t at = 512; at + 128 <= good.size(); at += 128)
        if (good[at] == 'P' && good[at + 2] == 'a' && good[at + 4] == 'd' && good[at + 66] == 2)
            entry = at;
    ASSERT_NE(entry, SIZE_MAX);
    const uint32_t first = Get32(good, entry + 116);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"chain loops back", [&](auto& b) { Put32(b, fatEntry(first + 3), first); }},
        {"chain points past the end", [&](auto& b) { Put32(b, fatEntry(first + 2), 0x00FFFFFF); }},
        {"chain ends early", [&](auto& b) { Put32(b, fatEntry(first + 2), 0xFFFFFFFE); }},
        {"size past the end", [&](auto& b) { Put32(b, entry + 120, 0x7FFFFFFF); }},
        {"directory loop",
         [&](auto& b) {
             Put32(b, entry + 68,
                   uint32_t((entry - 512) / 128 % 4 + 4 * ((entry - 512) / 512 - Get32(good, 48))));
         }},
        {"FAT count absurd", [&](auto& b) { Put32(b, 44, 0x10000000); }},
        {"DIFAT loop",
         [&](auto& b) {
             Put32(b, 44, 200);
             Put32(b, 68, 0);
             Put32(b, 72, 3);
         }},
        {"bad signature", [&](auto& b) { b[0] = 0; }},
        {"mini FAT chain loops",
         [&](auto& b) {
             uint32_t mf = Get32(b, 60);
             Put32(b, fatEntry(mf), mf);
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        c.damage(bad);
        EXPECT_FALSE(Loads(bad)) << c.what;
    }
}

TEST_F(HostileTest, AbsurdOrEncryptedWorkbooksFailToLoad) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> edit;
    } cases[] = {
        {"rows past the sheet",
         [](auto& s) {
             size_t at = FindRecord(s, 0x0200);
             ASSERT_NE(at, SIZE_MAX);
             Put32(s, at + 8, 0x7FFFFFFF);
         }},
        {"columns past the sheet",
         [](auto& s) {
             size_t at = FindRecord(s, 0x0200);
             s[at + 14] = 0xFF;
             s[at + 15] = 0x7F;
         }},
        {"encrypted",
         [](auto& s) {
             uint8_t filepass[] = {0x2F, 0x00, 0x02, 0x00, 0x00, 0x00};
             size_t bofLen = 4 + size_t(s[2] | (s[3] << 8));
             s.insert(s.begin() + long(bofLen), filepass, filepass + sizeof filepass);
         }},
        {"record past the end",
         [](auto& s) {
             size_t at = FindRecord(s, 0x00FC);
             s[at + 2] = 0xFF;
             s[at + 3] = 0xFF;
         }},
        {"string index past the table",
         [](auto& s) {
             size_t at = FindRecord(s, 0x00FD);
             ASSERT_NE(at, SIZE_MAX);
             Put32(s, at + 10, 1000000);
         }},
        {"string count lies",
         [](auto& s) {
             size_t at = FindRecord(s, 0x00FC);
             Put32(s, at + 8, 0xFFFFFFFF);
             s[at + 12] = 0xFF; // first string claims 65535 characters
             s[at + 13] = 0xFF;
         }},
        {"sheet offset wrong",
         [](auto& s) {
             size_t at = FindRecord(s, 0x0085);
             Put32(s, at + 4, 3);
         }},
        {"not BIFF8",
         [](auto& s) {
             s[4] = 0x00;
             s[5] = 0x05;
         }},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Loads(WithStream(c.edit))) << c.what;
    }
    EXPECT_TRUE(Loads(WithStream([](auto&) {})));
}

// Not hostile, but the same stream surgery: without column records a new
// cell gets a text format, added to the formats when the file has none.
TEST_F(HostileTest, WithoutColumnFormatsNewCellsAreText) {
    if (!HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    std::vector<uint8_t> bare = WithStream([](auto& s) {
        for (size_t at; (at = FindRecord(s, 0x007D)) != SIZE_MAX;)
            s.erase(s.begin() + long(at),
                    s.begin() + long(at + 4 + (s[at + 2] | (s[at + 3] << 8))));
    });
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->LoadFromMemory(bare));
    ASSERT_TRUE(book->GetSheet(0)->WriteStr(5, 4, "typed"));
    ASSERT_TRUE(book->GetSheet(0)->WriteStr(6, 4, "more"));
    std::string path = dir.file("bare.xls");
    WriteBytes(path, book->SaveToMemory());
    std::string out = XlrdRun(path, R"(
b = xlrd.open_workbook(path, formatting_info=True)
s = b.sheet_by_index(0)
xf = s.cell_xf_index(5, 4)
print(b.format_map[b.xf_list[xf].format_key].format_str, xf == s.cell_xf_index(6, 4), s.cell_value(5, 4))
)");
    EXPECT_EQ(out, "@ True typed\n");
}
