// Record shapes that other programs write and the workbook must read whole
// and save unchanged: text continued over several records, the stream under
// another name, the older formula record type.
#include "tests/support/TestSupport.h"
#include "tests/xls/BiffBuilder.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsCompoundFile.h"
#include "xls/XlsWorkbook.h"

#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

using namespace biff;

namespace {

std::string Utf8(const std::u16string& s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size())).toStdString();
}

std::u16string Join(const std::vector<Piece>& pieces) {
    std::u16string s;
    for (const Piece& p : pieces)
        s += p.text;
    return s;
}

// n characters: Latin-1 letters (accents included) or CJK ideographs.
std::u16string Latin(size_t n, char16_t salt) {
    std::u16string s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(i % 97 == 0 ? char16_t(0xE9) : char16_t(u'a' + (i + salt) % 26));
    return s;
}
std::u16string Cjk(size_t n) {
    std::u16string s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(char16_t(0x4E00 + i % 500));
    return s;
}

// 10,298 and 24,732 characters, each piece filling its record, with the
// encoding changing from one continuation to the next.
const std::vector<Piece> kTenThousand = {
    {Latin(8000, 1), false}, {Cjk(1500), true}, {Latin(798, 2), false}};
const std::vector<Piece> kTwentyFour = {
    {Latin(8199, 3), false}, {Cjk(4111), true}, {Latin(8223, 4), false}, {Latin(4199, 5), false}};

std::unique_ptr<XlsWorkbook> LoadImage(const std::vector<uint8_t>& image) {
    auto book = XlsWorkbook::Create();
    if (!book->LoadFromMemory(image))
        return nullptr;
    return book;
}

// Records the writer keeps as they are, in order: everything but the cell
// index it rebuilds (DIMENSIONS, ROW, DBCELL, INDEX) and the shared strings.
RecordList Kept(const RecordList& all,
                const std::set<std::pair<uint16_t, uint16_t>>& changed = {}) {
    RecordList out;
    bool inSst = false;
    bool inChanged = false;
    for (const auto& [type, data] : all) {
        if (type == 0x00FC)
            inSst = true;
        else if (type != 0x003C)
            inSst = false;
        if (inSst || type == 0x00FF || type == 0x0200 || type == 0x0208 || type == 0x00D7 ||
            type == 0x020B)
            continue;
        // A changed cell's records (its formula's STRING included) are not kept.
        const bool cell = type == 0x0006 || type == 0x0206 || type == 0x0204 || type == 0x00FD ||
                          type == 0x0203 || type == 0x0201;
        if (cell && data.size() >= 4)
            inChanged = changed.count({uint16_t(data[0] | (data[1] << 8)),
                                       uint16_t(data[2] | (data[3] << 8))}) != 0;
        else if (type != 0x0207 && type != 0x003C)
            inChanged = false;
        if (inChanged)
            continue;
        out.push_back({type, data});
        if (type == 0x0085 && data.size() >= 4) // the sheet's stream position moves with the SST
            std::fill(out.back().second.begin(), out.back().second.begin() + 4, 0);
    }
    return out;
}

bool IsSubsequence(const RecordList& part, const RecordList& whole) {
    size_t k = 0;
    for (const auto& r : whole)
        if (k < part.size() && r == part[k])
            ++k;
    return k == part.size();
}

} // namespace

TEST(RecordShapesTest, LongTextOverSeveralContinueRecordsReadsWhole) {
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>(const std::vector<Piece>&)> globals, sheet;
    };
    auto noGlobals = [](const std::vector<Piece>&) { return std::vector<uint8_t>(); };
    auto formulaWith = [](uint16_t type) {
        return [type](const std::vector<Piece>& pieces) {
            std::vector<uint8_t> s;
            Append(s, type, FormulaString(0, 0));
            auto str = ContinuedString(0x0207, {}, pieces);
            s.insert(s.end(), str.begin(), str.end());
            return s;
        };
    };
    const Case cases[] = {
        {"shared string with formatting runs and phonetic block",
         [](const std::vector<Piece>& pieces) {
             // "first", the long string (two runs, a 10-byte phonetic block
             // after its characters), then "after" in the last continuation.
             Data sst;
             sst.u32(3).u32(3).u16(5).u8(0).chars(u"first", false);
             sst.u16(uint16_t(Join(pieces).size())).u8(0x0C | (pieces[0].high ? 1 : 0));
             sst.u16(2).u32(10).chars(pieces[0].text, pieces[0].high);
             std::vector<uint8_t> out;
             Append(out, 0x00FC, sst);
             for (size_t i = 1; i < pieces.size(); ++i) {
                 Data c;
                 c.u8(pieces[i].high ? 1 : 0).chars(pieces[i].text, pieces[i].high);
                 if (i + 1 == pieces.size())
                     c.u16(0)
                         .u16(1)
                         .u16(3)
                         .u16(0)
                         .raw(std::vector<uint8_t>(10, 0x55))
                         .u16(5)
                         .u8(0)
                         .chars(u"after", false);
                 Append(out, 0x003C, c);
             }
             return out;
         },
         [](const std::vector<Piece>&) {
             std::vector<uint8_t> s;
             Append(s, 0x00FD, LabelSst(0, 0, 1));
             Append(s, 0x00FD, LabelSst(0, 1, 2));
             Append(s, 0x00FD, LabelSst(0, 2, 0));
             return s;
         }},
        {"formula result string", noGlobals, formulaWith(0x0006)},
        {"older formula type's result string", noGlobals, formulaWith(0x0206)},
        {"text cell", noGlobals,
         [](const std::vector<Piece>& pieces) {
             return ContinuedString(0x0204, Data().u16(0).u16(0).u16(15), pieces);
         }},
    };
    for (const Case& c : cases) {
        for (const auto* pieces : {&kTenThousand, &kTwentyFour}) {
            const std::string expected = Utf8(Join(*pieces));
            SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(Join(*pieces).size()));
            std::vector<uint8_t> sheet = c.sheet(*pieces);
            Append(sheet, 0x0203, Number(1, 0, 7)); // the record after the long text still reads
            const std::vector<uint8_t> stream = Stream(c.globals(*pieces), sheet);
            auto book = LoadImage(Image(stream));
            ASSERT_TRUE(book);
            EXPECT_EQ(book->GetSheet(0)->ReadStr(0, 0).value_or("<none>"), expected);
            EXPECT_EQ(book->GetSheet(0)->ReadStr(1, 0).value_or("<none>"), "7");
            if (std::string(c.what).rfind("shared", 0) == 0) {
                EXPECT_EQ(book->GetSheet(0)->ReadStr(0, 1).value_or("<none>"), "after");
                EXPECT_EQ(book->GetSheet(0)->ReadStr(0, 2).value_or("<none>"), "first");
            }

            // Saved as it is and with a new cell: the long text reads whole and
            // every record the save did not change is still there, in order.
            const std::vector<uint8_t> same = book->SaveToMemory();
            EXPECT_EQ(Kept(Records(StreamOf(same))), Kept(Records(stream)));
            ASSERT_TRUE(book->GetSheet(0)->WriteStr(5, 3, "new"));
            const std::vector<uint8_t> edited = book->SaveToMemory();
            EXPECT_TRUE(IsSubsequence(Kept(Records(stream)), Kept(Records(StreamOf(edited)))));
            for (const auto* image : {&same, &edited}) {
                auto again = LoadImage(*image);
                ASSERT_TRUE(again);
                EXPECT_EQ(again->GetSheet(0)->ReadStr(0, 0).value_or("<none>"), expected);
                EXPECT_EQ(again->GetSheet(0)->ReadStr(1, 0).value_or("<none>"), "7");
            }
        }
    }
}

TEST(RecordShapesTest, WorkbookStreamIsFoundInAnyCaseAndUnderTheOlderName) {
    std::vector<uint8_t> sheet;
    Append(sheet, 0x0203, Number(0, 0, 42));
    struct Case {
        std::u16string name;
        uint16_t version;
        bool loads;
    } cases[] = {
        {u"Workbook", 0x0600, true},
        {u"WORKBOOK", 0x0600, true},
        {u"workBOOK", 0x0600, true},
        {u"Book", 0x0600, true},
        {u"BOOK", 0x0600, true},
        {u"book", 0x0600, true},
        // The older name with older records, and names that are not the stream's.
        {u"Book", 0x0500, false},
        {u"BOOK", 0x0500, false},
        {u"Workbook", 0x0500, false},
        {u"Workbooks", 0x0600, false},
        {u"Boo", 0x0600, false},
        {u"Sheet", 0x0600, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name) + " " + std::to_string(c.version));
        const std::vector<uint8_t> stream = Stream({}, sheet, c.version);
        auto book = LoadImage(Image(stream, c.name));
        ASSERT_EQ(bool(book), c.loads);
        if (!book)
            continue;
        EXPECT_EQ(book->GetSheet(0)->ReadStr(0, 0).value_or("<none>"), "42");
        ASSERT_TRUE(book->GetSheet(0)->WriteStr(1, 0, "x"));
        // Saved back into the same stream, under its own name, and no second one.
        const std::vector<uint8_t> saved = book->SaveToMemory();
        XlsCompoundFile cf;
        ASSERT_TRUE(cf.Load(saved));
        std::vector<std::u16string> names;
        for (size_t child : cf.entries()[0].children)
            names.push_back(cf.entries()[child].name);
        EXPECT_EQ(names, std::vector<std::u16string>{c.name});
        EXPECT_TRUE(IsSubsequence(Kept(Records(stream)), Kept(Records(StreamOf(saved)))));
        auto again = LoadImage(saved);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->GetSheet(0)->ReadStr(0, 0).value_or("<none>"), "42");
        EXPECT_EQ(again->GetSheet(0)->ReadStr(1, 0).value_or("<none>"), "x");
    }
}

TEST(RecordShapesTest, DirectoryNamesCompareByTheirUpperCase) {
    XlsCompoundFile cf;
    cf.SetStream(u"\u00C4rger\u03A3", std::vector<uint8_t>(5, 1)); // "ÄrgerΣ"
    cf.SetStream(u"plain", std::vector<uint8_t>(3, 2));
    XlsCompoundFile back;
    ASSERT_TRUE(back.Load(cf.Save()));
    for (std::u16string name : {u"\u00E4RGER\u03C3", u"\u00C4rger\u03A3", u"PLAIN", u"Plain"}) {
        ASSERT_TRUE(back.FindStream(name)) << Utf8(name);
    }
    EXPECT_EQ(back.FindStream(u"\u00E4RGER\u03C3")->size(), 5u);
    EXPECT_FALSE(back.FindStream(u"ARGER\u03A3"));
    // Replacing by another case keeps one entry.
    back.SetStream(u"\u00E4rger\u03C3", std::vector<uint8_t>(7, 3));
    EXPECT_EQ(back.entries()[0].children.size(), 2u);
    EXPECT_EQ(back.FindStream(u"\u00C4RGER\u03A3")->size(), 7u);
}

TEST(RecordShapesTest, OlderFormulaRecordsReadAndSaveLikeFormulas) {
    // Twelve cells over four rows; six are formulas, four of the older type.
    std::vector<uint8_t> globals;
    Append(globals, 0x00FC,
           Data().u32(2).u32(2).u16(2).u8(0).chars(u"hi", false).u16(2).u8(0).chars(u"yo", false));
    std::vector<uint8_t> sheet;
    auto formulaString = [&](uint16_t type, uint16_t row, uint16_t col, const std::u16string& s) {
        Append(sheet, type, FormulaString(row, col));
        Append(sheet, 0x0207, Data().u16(uint16_t(s.size())).u8(0).chars(s, false));
    };
    Append(sheet, 0x0203, Number(0, 0, 1));
    Append(sheet, 0x0206, FormulaNumber(0, 1, 2.5));
    Append(sheet, 0x00FD, LabelSst(0, 2, 0));
    Append(sheet, 0x0006, FormulaNumber(1, 0, 3));
    formulaString(0x0206, 1, 1, u"older");
    Append(sheet, 0x0206, FormulaBool(1, 2, true));
    Append(sheet, 0x00FD, LabelSst(2, 0, 1));
    formulaString(0x0006, 2, 1, u"newer");
    Append(sheet, 0x0203, Number(2, 2, 9));
    Append(sheet, 0x0206, FormulaNumber(3, 0, -4));
    Append(sheet, 0x0203, Number(3, 1, 10));
    Append(sheet, 0x0006, FormulaBool(3, 2, false));
    const std::vector<std::string> expected = {"1",  "2.5",   "hi", "3",  "older", "TRUE",
                                               "yo", "newer", "9",  "-4", "10",    "FALSE"};
    const std::vector<uint8_t> stream = Stream(globals, sheet);
    auto cells = [](XlsWorkbook& book) {
        std::vector<std::string> out;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                out.push_back(book.GetSheet(0)->ReadStr(r, c).value_or("<none>"));
        return out;
    };
    auto book = LoadImage(Image(stream));
    ASSERT_TRUE(book);
    EXPECT_EQ(cells(*book), expected);
    EXPECT_EQ(book->GetSheet(0)->RowCount(), 4);

    // Saved unchanged: the same records. Each formula stays in the cell table
    // (after the first ROW, before the last DBCELL) with its STRING after it.
    const std::vector<uint8_t> same = book->SaveToMemory();
    const RecordList saved = Records(StreamOf(same));
    EXPECT_EQ(Kept(saved), Kept(Records(stream)));
    size_t firstRow = SIZE_MAX, lastDbCell = 0, older = 0;
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i].first == 0x0208 && firstRow == SIZE_MAX)
            firstRow = i;
        if (saved[i].first == 0x00D7)
            lastDbCell = i;
    }
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i].first != 0x0206 && saved[i].first != 0x0006)
            continue;
        older += saved[i].first == 0x0206;
        EXPECT_GT(i, firstRow);
        EXPECT_LT(i, lastDbCell);
    }
    EXPECT_EQ(older, 4u);
    auto again = LoadImage(same);
    ASSERT_TRUE(again);
    EXPECT_EQ(cells(*again), expected);

    // Overwriting the older string formula drops it with its STRING record.
    ASSERT_TRUE(again->GetSheet(0)->WriteStr(1, 1, "typed"));
    const std::vector<uint8_t> edited = again->SaveToMemory();
    const RecordList after = Records(StreamOf(edited));
    EXPECT_TRUE(IsSubsequence(Kept(Records(stream), {{1, 1}}), Kept(after)));
    EXPECT_EQ(
        std::count_if(after.begin(), after.end(), [](const auto& r) { return r.first == 0x0207; }),
        1);
    auto third = LoadImage(edited);
    ASSERT_TRUE(third);
    std::vector<std::string> want = expected;
    want[4] = "typed";
    EXPECT_EQ(cells(*third), want);
}

TEST(RecordShapesTest, OfTwoCellsAtOnePlaceALaterValueWinsAndABlankErasesNone) {
    // Column k of row 0 holds the records of case k, in this order; a blank
    // (BLANK or MULBLANK: a format without a value) takes the place of
    // another blank only, as LibreOffice and Gnumeric read it.
    using Add = std::function<void(std::vector<uint8_t>&, uint16_t col)>;
    auto number = [](double v) -> Add {
        return [v](auto& s, uint16_t col) { Append(s, 0x0203, Number(0, col, v)); };
    };
    const Add blank = [](auto& s, uint16_t col) {
        Append(s, 0x0201, Data().u16(0).u16(col).u16(15));
    };
    const Add mulBlank = [](auto& s, uint16_t col) {
        Append(s, 0x00BE, Data().u16(0).u16(col).u16(15).u16(col));
    };
    const Add mulRk = [](auto& s, uint16_t col) {
        Append(s, 0x00BD, Data().u16(0).u16(col).u16(15).u32(9 << 2 | 2).u16(col));
    };
    const Add text = [](auto& s, uint16_t col) { Append(s, 0x00FD, LabelSst(0, col, 0)); };
    struct Case {
        const char* what;
        std::vector<Add> records;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"number, number", {number(1), number(2)}, "2"},
        {"number, blank", {number(3), blank}, "3"},
        {"number, MULBLANK", {number(4), mulBlank}, "4"},
        {"blank, number", {blank, number(5)}, "5"},
        {"text, number", {text, number(6)}, "6"},
        {"number, text", {number(7), text}, "hi"},
        {"blank, blank", {blank, mulBlank, blank}, ""},
        {"MULRK, blank, number", {mulRk, blank, number(8)}, "8"},
        {"number, MULRK, blank", {number(1), mulRk, mulBlank}, "9"},
    };
    std::vector<uint8_t> globals;
    Append(globals, 0x00FC, Data().u32(1).u32(1).u16(2).u8(0).chars(u"hi", false));
    // In order, and with a cell of row 9 first so that row 0 comes out of order.
    for (bool rowNineFirst : {false, true}) {
        SCOPED_TRACE(rowNineFirst ? "row 9 first" : "in order");
        std::vector<uint8_t> sheet;
        if (rowNineFirst)
            Append(sheet, 0x0203, Number(9, 0, 99));
        for (size_t k = 0; k < cases.size(); ++k)
            for (const Add& add : cases[k].records)
                add(sheet, uint16_t(k));
        const std::vector<uint8_t> image = Image(Stream(globals, sheet));
        auto book = LoadImage(image);
        ASSERT_TRUE(book);
        auto row0 = [&](XlsWorkbook& b) {
            std::vector<std::string> out;
            for (size_t k = 0; k < cases.size(); ++k)
                out.push_back(b.GetSheet(0)->ReadStr(0, int(k)).value_or("<none>"));
            return out;
        };
        std::vector<std::string> expected;
        for (const Case& c : cases)
            expected.push_back(c.expected);
        EXPECT_EQ(row0(*book), expected);
        EXPECT_EQ(book->GetSheet(0)->ReadStr(9, 0).value_or("<none>"),
                  rowNineFirst ? "99" : "<none>");
        auto again = LoadImage(book->SaveToMemory());
        ASSERT_TRUE(again);
        EXPECT_EQ(row0(*again), expected);

        // The same as LibreOffice reads it, where it is installed.
        if (!sheettest::HaveLibreOffice())
            continue;
        qvtest::TempProgramDir dir;
        sheettest::WriteBytes(dir.file("dup.xls"), image);
        const std::string csv = sheettest::LibreOfficeToCsv(
            dir.file("dup.xls"), dir.path().substr(0, dir.path().size() - 1));
        ASSERT_FALSE(csv.empty());
        std::string ours;
        for (size_t k = 0; k < expected.size(); ++k)
            ours += (k ? "," : "") + expected[k];
        EXPECT_EQ(csv.substr(0, csv.find('\n')), ours);
    }
}
