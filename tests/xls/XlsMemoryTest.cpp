// Memory taken by loading hostile workbooks, counted by this test program's
// own operator new: every byte the library allocates goes through it.
#include "tests/support/TestSupport.h"
#include "tests/xls/BiffBuilder.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsWorkbook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<size_t> gLive{0};
std::atomic<size_t> gPeak{0};

void* Counted(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    const size_t live = gLive += malloc_usable_size(p);
    size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return p;
}
void Uncounted(void* p) {
    if (!p)
        return;
    gLive -= malloc_usable_size(p);
    std::free(p);
}

} // namespace

void* operator new(size_t n) {
    return Counted(n);
}
void* operator new[](size_t n) {
    return Counted(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return Counted(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    try {
        return Counted(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    Uncounted(p);
}
void operator delete[](void* p) noexcept {
    Uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
    Uncounted(p);
}

using namespace biff;

namespace {

// Rows of MULBLANK records over all 256 columns, written several times in
// the order given, then a number at (0, 0) that must replace the blank.
std::vector<uint8_t> MulBlankSheet(const std::vector<int>& rowOrder) {
    std::vector<uint8_t> sheet;
    for (int row : rowOrder) {
        Data d;
        d.u16(uint16_t(row)).u16(0);
        for (int c = 0; c < 256; ++c)
            d.u16(15);
        d.u16(255);
        Append(sheet, 0x00BE, d);
    }
    Append(sheet, 0x0203, Number(0, 0, 5));
    return sheet;
}

} // namespace

TEST(WorkbookMemoryTest, MulBlankWorkbooksTakeAtMostFourTimesTheirSize) {
    constexpr int kRows = 7500; // 3 x 7500 records of 522 bytes: 11.2 MiB
    std::vector<int> inOrderThrice, allThenAgain, evenOddReversed;
    for (int r = 0; r < kRows; ++r)
        for (int k = 0; k < 3; ++k)
            inOrderThrice.push_back(r);
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < kRows; ++r)
            allThenAgain.push_back(r);
    for (int r = 0; r < kRows; r += 2)
        evenOddReversed.push_back(r);
    for (int r = 1; r < kRows; r += 2)
        evenOddReversed.push_back(r);
    for (int r = kRows - 1; r >= 0; --r)
        evenOddReversed.push_back(r);
    for (int r = 0; r < kRows; r += 3)
        evenOddReversed.push_back(r);
    for (int r = 1; r < kRows; r += 3)
        evenOddReversed.push_back(r);
    for (int r = 2; r < kRows; r += 3)
        evenOddReversed.push_back(r);
    struct Case {
        const char* what;
        const std::vector<int>& rows;
    } cases[] = {
        {"each row three times in a row", inOrderThrice},
        {"all rows three times", allThenAgain},
        {"even rows, odd rows, all backwards, then every third", evenOddReversed},
    };
    qvtest::TempProgramDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("mulblank.xls");
        sheettest::WriteBytes(path, Image(Stream({}, MulBlankSheet(c.rows))));
        const size_t fileSize = sheettest::ReadBytes(path).size();
        ASSERT_GT(fileSize, size_t(11) << 20);

        auto book = XlsWorkbook::Create();
        const size_t before = gLive.load();
        gPeak = before;
        ASSERT_TRUE(book->Load(path));
        const size_t peak = gPeak.load() - before;
        EXPECT_LE(peak, 4 * fileSize) << "peak " << peak << " for a file of " << fileSize;

        XlsSheet* sheet = book->GetSheet(0);
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->RowCount(), kRows);
        EXPECT_EQ(sheet->ReadStr(0, 0).value_or("<none>"), "5");
        for (int r : {0, 1, kRows / 2, kRows - 1})
            for (int col : {1, 128, 255})
                EXPECT_EQ(sheet->ReadStr(r, col).value_or("<none>"), "") << r << "," << col;
        EXPECT_FALSE(sheet->ReadStr(kRows, 0).has_value());
    }
}

TEST(WorkbookMemoryTest, OtherDenseShapesTakeAtMostFourTimesTheirSize) {
    constexpr size_t kTarget = size_t(11) << 20;
    struct Case {
        const char* what;
        std::vector<uint8_t> globals, sheet;
        int row, col; // a cell to read back
        const char* expected;
    };
    std::vector<Case> cases;
    {
        // Shared strings of three bytes each (empty), the last one "z".
        std::vector<uint8_t> g;
        const uint32_t perRecord = 8223 / 3, records = uint32_t(kTarget / 8224);
        const uint32_t strings = records * perRecord + 1;
        Data first;
        first.u32(1).u32(strings);
        std::vector<uint8_t> empty{0, 0, 0};
        for (uint32_t r = 0; r < records; ++r) {
            Data d = r == 0 ? first : Data();
            for (uint32_t k = 0; k < (r == 0 ? perRecord - 3 : perRecord); ++k)
                d.raw(empty);
            if (r + 1 == records)
                d.u16(1).u8(0).chars(u"z", false);
            Append(g, r == 0 ? 0x00FC : 0x003C, d);
        }
        const uint32_t last = records * perRecord - 3;
        std::vector<uint8_t> sh;
        Append(sh, 0x00FD, LabelSst(0, 0, last));
        cases.push_back({"shared strings of three bytes", g, sh, 0, 0, "z"});
    }
    {
        // Records without data of a type nobody reads.
        std::vector<uint8_t> sh;
        while (sh.size() < kTarget)
            Append(sh, 0x0001, {});
        Append(sh, 0x0203, Number(3, 3, 1));
        cases.push_back({"empty records", {}, sh, 3, 3, "1"});
    }
    {
        // One BLANK record for every place, row by row.
        std::vector<uint8_t> sh;
        for (uint32_t k = 0; sh.size() < kTarget; ++k)
            Append(sh, 0x0201, Data().u16(uint16_t(k / 256)).u16(uint16_t(k % 256)).u16(15));
        Append(sh, 0x0203, Number(100, 200, 2));
        cases.push_back({"a BLANK record per cell", {}, sh, 100, 200, "2"});
    }
    qvtest::TempProgramDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("dense.xls");
        sheettest::WriteBytes(path, Image(Stream(c.globals, c.sheet)));
        const size_t fileSize = sheettest::ReadBytes(path).size();
        ASSERT_GT(fileSize, kTarget - 8224);
        auto book = XlsWorkbook::Create();
        const size_t before = gLive.load();
        gPeak = before;
        ASSERT_TRUE(book->Load(path));
        const size_t peak = gPeak.load() - before;
        EXPECT_LE(peak, 4 * fileSize) << "peak " << peak << " for a file of " << fileSize;
        EXPECT_EQ(book->GetSheet(0)->ReadStr(c.row, c.col).value_or("<none>"), c.expected);
    }
}

TEST(WorkbookMemoryTest, OnlyRegularFilesWithinTheLimitAreRead) {
    qvtest::TempProgramDir dir;
    std::vector<uint8_t> sheet;
    Append(sheet, 0x0203, Number(0, 0, 42));
    // Zeros after the container's last sector are unused sectors: the
    // workbook loads at any length up to the limit of 16 MiB.
    constexpr size_t kLimit = size_t(16) << 20;
    std::vector<uint8_t> image = Image(Stream({}, sheet));
    image.resize(kLimit, 0);
    sheettest::WriteBytes(dir.file("limit.xls"), image);
    image.push_back(0);
    sheettest::WriteBytes(dir.file("over.xls"), image);
    ASSERT_EQ(mkfifo(dir.file("fifo.xls").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.file("zero.xls").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("limit.xls").c_str(), dir.file("link.xls").c_str()), 0);
    std::filesystem::create_directories(dir.file("folder.xls"));
    struct Case {
        const char* file;
        bool loads;
    } cases[] = {{"limit.xls", true},  {"link.xls", true},  {"over.xls", false},
                 {"fifo.xls", false},  {"zero.xls", false}, {"folder.xls", false},
                 {"absent.xls", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto book = XlsWorkbook::Create();
        const size_t before = gLive.load();
        gPeak = before;
        EXPECT_EQ(book->Load(dir.file(c.file)), c.loads);
        const size_t peak = gPeak.load() - before;
        if (c.loads) {
            EXPECT_EQ(book->GetSheet(0)->ReadStr(0, 0).value_or("<none>"), "42");
            EXPECT_LE(peak, 3 * kLimit);
        } else {
            EXPECT_EQ(book->GetSheet(0), nullptr);
            EXPECT_LT(peak, size_t(1) << 20); // refused before anything is read
        }
    }
}
