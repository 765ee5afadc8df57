#include "records/CSqlManagement.h"

#include "RecordTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using recordtest::Device;
using recordtest::DeviceTexts;
using recordtest::Mac;
using recordtest::Padded;

namespace {

constexpr const char* kOpenFailed = "Failed to open database, unable to get data.";

std::vector<std::string> Macs(const std::vector<ap_info_stu>& records) {
    std::vector<std::string> out;
    for (const auto& r : records)
        out.push_back(r.mac);
    return out;
}

bool AllZero(const ap_info_stu& record) {
    ap_info_stu zero;
    std::memset(&zero, 0, sizeof zero);
    return std::memcmp(&record, &zero, sizeof zero) == 0;
}

class StoreTest : public ::testing::Test {
protected:
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    std::unique_ptr<CSqlManagement> store = std::make_unique<CSqlManagement>(dir.path());

    DevicePage Load(std::vector<ap_info_stu>& records, int page = 1, int size = 48,
                    int key = SortByMac, bool ascending = true, const QString& filter = {}) {
        return store->LoadDevicePage(key, records, size, page, ascending, filter);
    }
    std::vector<std::string> AllMacs(int key = SortByMac, bool ascending = true,
                                     const QString& filter = {}) {
        std::vector<ap_info_stu> records;
        Load(records, 1, 100000, key, ascending, filter);
        return Macs(records);
    }
    // The stored text of one column of the MAC's row, read back through a
    // radio column so it comes out exactly as the table gives it.
    std::string StoredText(const std::string& mac, const std::string& column) {
        EXPECT_TRUE(store->ExecuteSql("UPDATE ap_info SET ap_ssid2=" + column));
        ap_info_stu record;
        EXPECT_TRUE(store->GetDeviceByMac(mac, record));
        return record.ap_ssid2;
    }
};

} // namespace

TEST_F(StoreTest, FreshStoreIsEmptyAndLivesInTheProgramFolder) {
    EXPECT_TRUE(store->IsOpen());
    EXPECT_EQ(store->DatabasePath(), dir.file("data.db"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("data.db")));
    EXPECT_TRUE(sink.texts().empty());

    std::vector<ap_info_stu> records;
    DevicePage page = Load(records);
    EXPECT_TRUE(page.ok);
    EXPECT_EQ(page.pageCount, 0);
    EXPECT_EQ(page.total, 0);
    EXPECT_TRUE(records.empty());

    store.reset();
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));
}

TEST(StoreLifecycle, FileOfAnEarlierRunIsDiscarded) {
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    {
        // A real database with a row, as an earlier run would leave it.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("data.db").c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY,mac char(18),"
                               "ap_para_status integer);"
                               "INSERT INTO ap_info(mac,ap_para_status) "
                               "VALUES('AA:BB:CC:00:00:01 ',4)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    dir.write("data.db-journal", "stale journal of another file");

    CSqlManagement store(dir.path());
    ASSERT_TRUE(store.IsOpen());
    EXPECT_TRUE(sink.texts().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db-journal")));
    std::vector<ap_info_stu> records;
    EXPECT_EQ(store.LoadDevicePage(SortByMac, records, 48, 1, true, {}).total, 0);
    EXPECT_EQ(store.GetParaStatus(Mac(1)), 0);
    EXPECT_TRUE(store.SaveDiscoveredDevice(Device(Mac(1))));
}

TEST(StoreLifecycle, GarbageFileIsReplaced) {
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    dir.write("data.db", "not a database at all");
    CSqlManagement store(dir.path());
    EXPECT_TRUE(store.IsOpen());
    EXPECT_TRUE(store.SaveDiscoveredDevice(Device(Mac(1))));
    EXPECT_TRUE(sink.texts().empty());
}

TEST(StoreLifecycle, LinkAtTheNameIsRemovedAndTheFileIsTheOwnersOnly) {
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    dir.write("secret", "root only\n");
    ASSERT_EQ(::symlink(dir.file("secret").c_str(), dir.file("data.db").c_str()), 0);
    const mode_t old = ::umask(0);
    {
        CSqlManagement store(dir.path());
        ::umask(old);
        ASSERT_TRUE(store.IsOpen());
        EXPECT_TRUE(store.SaveDiscoveredDevice(Device(Mac(1))));
        struct stat st {};
        ASSERT_EQ(::lstat(dir.file("data.db").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        // Stored keys: readable by the owner alone, whatever the umask.
        EXPECT_EQ(st.st_mode & 07777, 0600u);
    }
    EXPECT_EQ(qvtest::ReadFileBytes(dir.file("secret")), "root only\n");
}

// Each way the file cannot be made: one message, then every operation fails.
struct FailedOpenCase {
    const char* name;
    std::function<std::string(const qvtest::TempProgramDir&)> folder;
};

class FailedOpenTest : public ::testing::TestWithParam<FailedOpenCase> {};

TEST_P(FailedOpenTest, ShowsMessageOnceAndEveryOperationFails) {
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    const std::string folder = GetParam().folder(dir);
    CSqlManagement store(folder);

    EXPECT_FALSE(store.IsOpen());
    ASSERT_EQ(sink.texts(), std::vector<std::string>{kOpenFailed});

    EXPECT_FALSE(store.ExecuteSql("DELETE FROM ap_info"));
    EXPECT_FALSE(store.ClearDevices());
    EXPECT_FALSE(store.SaveDiscoveredDevice(Device(Mac(1))));
    EXPECT_FALSE(store.SetParaStatus(Mac(1), OperateSuccess));
    EXPECT_FALSE(store.SetLogStatus(Mac(1), OperateSuccess));
    EXPECT_EQ(store.GetParaStatus(Mac(1)), 0);
    EXPECT_EQ(store.GetLogStatus(Mac(1)), 0);

    ap_info_stu record;
    std::memset(&record, 0x55, sizeof record);
    EXPECT_FALSE(store.GetDeviceByMac(Mac(1), record));
    EXPECT_TRUE(AllZero(record));

    std::vector<ap_info_stu> records;
    for (int key = SortByMac; key <= SortByDate; ++key) {
        DevicePage page = store.LoadDevicePage(key, records, 48, 1, true, QStringLiteral("AA"));
        EXPECT_FALSE(page.ok);
        EXPECT_EQ(page.pageCount, 0);
        EXPECT_EQ(page.total, 0);
    }
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(sink.texts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Store, FailedOpenTest,
    ::testing::Values(FailedOpenCase{"MissingFolder",
                                     [](const qvtest::TempProgramDir& d) {
                                         return d.file("no/such/folder/");
                                     }},
                      // Something at data.db that cannot be removed: its rows are never used.
                      FailedOpenCase{"UnremovableOldFile",
                                     [](const qvtest::TempProgramDir& d) {
                                         d.write("data.db/keep", "x");
                                         return d.path();
                                     }},
                      FailedOpenCase{"FolderIsAFile",
                                     [](const qvtest::TempProgramDir& d) {
                                         d.write("plain", "x");
                                         return d.file("plain");
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreTest, FolderWithoutTrailingSlashIsAccepted) {
    std::string folder = dir.path();
    folder.pop_back();
    store.reset();
    CSqlManagement other(folder);
    EXPECT_TRUE(other.IsOpen());
    EXPECT_EQ(other.DatabasePath(), dir.file("data.db"));
}

// Page counts and page contents for table sizes around one page of 48.
TEST_F(StoreTest, PagesSplitRowsIntoPagesOf48) {
    struct Case {
        int rows;
        int pageCount;
    } cases[] = {{0, 0}, {1, 1}, {47, 1}, {48, 1}, {49, 2}, {96, 2}, {97, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        ASSERT_TRUE(store->ClearDevices());
        for (int i = 0; i < c.rows; ++i)
            ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(i))));

        std::vector<std::string> seen;
        for (int page = 1; page <= c.pageCount + 1; ++page) {
            std::vector<ap_info_stu> records;
            DevicePage result = Load(records, page);
            ASSERT_TRUE(result.ok);
            EXPECT_EQ(result.pageCount, c.pageCount);
            EXPECT_EQ(result.total, c.rows);
            const int expected = std::clamp(c.rows - (page - 1) * 48, 0, 48);
            EXPECT_EQ(static_cast<int>(records.size()), expected) << "page " << page;
            for (const auto& mac : Macs(records))
                seen.push_back(mac);
        }
        std::vector<std::string> all;
        for (int i = 0; i < c.rows; ++i)
            all.push_back(Mac(i));
        EXPECT_EQ(seen, all);
    }
}

TEST_F(StoreTest, PageOutsideTheRangeIsEmptyWithTrueCounts) {
    for (int i = 0; i < 49; ++i)
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(i))));
    for (int page : {0, -1, 3, 1000, 2147483647}) {
        std::vector<ap_info_stu> records;
        DevicePage result = Load(records, page);
        EXPECT_TRUE(result.ok) << page;
        EXPECT_EQ(result.pageCount, 2) << page;
        EXPECT_EQ(result.total, 49) << page;
        EXPECT_TRUE(records.empty()) << page;
    }
}

TEST_F(StoreTest, PageRecordsAreAppendedToTheList) {
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));
    std::vector<ap_info_stu> records(1);
    std::strcpy(records[0].mac, "kept");
    EXPECT_TRUE(Load(records).ok);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0].mac, "kept");
    EXPECT_EQ(records[1].mac, Mac(1));
}

TEST_F(StoreTest, InvalidPageSizeOrSortKeyFailsWithoutRecords) {
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));
    struct Case {
        int key;
        int size;
    } cases[] = {{SortByMac, 0}, {SortByMac, -48}, {-1, 48}, {4, 48}};
    for (const auto& c : cases) {
        std::vector<ap_info_stu> records;
        DevicePage result = Load(records, 1, c.size, c.key);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.total, 0);
        EXPECT_EQ(result.pageCount, 0);
        EXPECT_TRUE(records.empty());
    }
}

// Every sort key in both directions, read in pages of 2 so that the pages
// together must give the whole order without repeats or gaps.
TEST_F(StoreTest, OrdersByEachKeyAndDirection) {
    struct Row {
        std::string mac;
        std::string date;
        int para;
        int log;
    };
    // Status texts in byte order: OperateFail < OperateSuccess < Operating <
    // TransmitFail < TransmitFinish < WaitOperate; code 6 has no text (NULL,
    // first when ascending).
    const std::vector<Row> rows = {
        {"AA:BB:CC:00:00:05", "2026-03-01 00:00:00", Operating, TransmitFail},
        {"00:00:00:00:00:09", "2025-12-31 23:59:59", OperateFail, WaitOperate},
        {"FF:00:00:00:00:01", "2026-03-01 00:00:01", TransmitFinish, OperateSuccess},
        {"AA:BB:CC:00:00:04", "2026-01-15 12:00:00", 6, Operating},
        {"10:00:00:00:00:00", "2026-03-01 00:00:00", WaitOperate, 6},
    };
    for (const auto& r : rows) {
        DeviceTexts t;
        t.time = r.date;
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(r.mac, t)));
        ASSERT_TRUE(store->SetParaStatus(r.mac, r.para));
        ASSERT_TRUE(store->SetLogStatus(r.mac, r.log));
    }
    const std::function<std::string(const Row&)> keys[] = {
        [](const Row& r) { return r.mac; },
        [](const Row& r) { return StatusText(r.log); },
        [](const Row& r) { return StatusText(r.para); },
        [](const Row& r) { return r.date; },
    };
    for (int key = SortByMac; key <= SortByDate; ++key) {
        for (bool ascending : {true, false}) {
            SCOPED_TRACE(testing::Message() << "key " << key << (ascending ? " asc" : " desc"));
            std::vector<std::size_t> order(rows.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            // Equal keys keep the order in which the devices were found;
            // descending is the exact reverse of ascending.
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                return keys[key](rows[a]) < keys[key](rows[b]);
            });
            if (!ascending)
                std::reverse(order.begin(), order.end());
            std::vector<std::string> expected;
            for (std::size_t i : order)
                expected.push_back(rows[i].mac);

            std::vector<ap_info_stu> records;
            for (int page = 1; page <= 3; ++page)
                ASSERT_TRUE(Load(records, page, 2, key, ascending).ok);
            EXPECT_EQ(Macs(records), expected);
        }
    }
}

TEST_F(StoreTest, FilterIsALiteralCaseSensitiveSubstringOfTheMac) {
    const std::vector<std::string> macs = {"AA:BB:CC:00:00:01", "AA:BB:CC:00:00:02",
                                           "AB:BB:CC:00:10:01", "A%_\\'B:XX:XX:XX:X"};
    for (const auto& mac : macs)
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac)));
    struct Case {
        const char* filter;
        std::vector<std::string> matches;
    } cases[] = {
        {"", macs},
        {"00:01", {macs[0]}},
        {"0:0", {macs[0], macs[1], macs[2]}},
        {"AA:BB:CC:00:00:02", {macs[1]}},
        {"aa", {}},       // case matters, as for every MAC comparison
        {"A_", {}},       // '_' is no wildcard ...
        {"%", {macs[3]}}, // ... and '%' matches only itself
        {"%_", {macs[3]}},
        {"_", {macs[3]}},
        {"\\", {macs[3]}},
        {"\\'", {macs[3]}},
        {"'", {macs[3]}},
        {"' OR '1'='1", {}},
        {"'; DELETE FROM ap_info; --", {}},
        {"\"", {}},
        {"ZZ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        std::vector<ap_info_stu> records;
        DevicePage result = Load(records, 1, 48, SortByMac, true, QString::fromUtf8(c.filter));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.total, static_cast<int>(c.matches.size()));
        EXPECT_EQ(result.pageCount, c.matches.empty() ? 0 : 1);
        std::vector<std::string> expected = c.matches;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Macs(records), expected);
    }
    EXPECT_EQ(AllMacs().size(), macs.size());
}

TEST_F(StoreTest, FilteredPagesCountOnlyMatchingRows) {
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(i < 60 ? Mac(i) : Mac(0x100000 + i))));
    std::vector<ap_info_stu> records;
    DevicePage result = Load(records, 2, 48, SortByMac, false, QStringLiteral("CC:10"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.total, 60);
    EXPECT_EQ(result.pageCount, 2);
    ASSERT_EQ(records.size(), 12u);
    EXPECT_EQ(records.back().mac, Mac(0x100000 + 60));
}

TEST_F(StoreTest, RediscoveryOverwritesTheRowAndResetsBothStatuses) {
    const std::string mac = Mac(7);
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(6))));
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac)));
    ASSERT_TRUE(store->SetParaStatus(mac, TransmitFinish));
    ASSERT_TRUE(store->SetLogStatus(mac, OperateFail));

    DeviceTexts later;
    later.time = "2026-05-06 07:08:09";
    later.ssid2 = "renamed";
    later.key5 = "";
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac, later)));

    EXPECT_EQ(AllMacs(), (std::vector<std::string>{Mac(6), mac})); // same row, same place
    EXPECT_EQ(store->GetParaStatus(mac), WaitOperate);
    EXPECT_EQ(store->GetLogStatus(mac), WaitOperate);
    ap_info_stu record;
    ASSERT_TRUE(store->GetDeviceByMac(mac, record));
    EXPECT_EQ(std::string(record.ap_ssid2), Padded("renamed", 33));
    EXPECT_EQ(std::string(record.ap_wpakey5), "");

    std::vector<ap_info_stu> records;
    ASSERT_TRUE(Load(records, 1, 48, SortByDate, false).ok);
    EXPECT_EQ(std::string(records[0].ap_date), Padded("2026-05-06 07:08:09", 33));

    EXPECT_EQ(StoredText(mac, "ap_para_status_str"), Padded("WaitOperate", 33));
    EXPECT_EQ(StoredText(mac, "ap_log_status_str"), Padded("WaitOperate", 33));
}

TEST_F(StoreTest, StatusesOfOneDeviceAreIndependent) {
    const std::string mac = Mac(1);
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac)));
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(2))));
    EXPECT_TRUE(store->SetParaStatus(mac, Operating));
    EXPECT_TRUE(store->SetLogStatus(mac, TransmitFail));
    EXPECT_TRUE(store->SetParaStatus(mac, OperateSuccess));
    EXPECT_EQ(store->GetParaStatus(mac), OperateSuccess);
    EXPECT_EQ(store->GetLogStatus(mac), TransmitFail);
    EXPECT_EQ(store->GetParaStatus(Mac(2)), WaitOperate);
    EXPECT_EQ(StoredText(mac, "ap_para_status_str"), Padded("OperateSuccess", 33));
    EXPECT_EQ(StoredText(mac, "ap_log_status_str"), Padded("TransmitFail", 33));

    std::vector<ap_info_stu> records;
    ASSERT_TRUE(Load(records).ok);
    EXPECT_EQ(records[0].ap_para_status, OperateSuccess);
    EXPECT_EQ(records[0].ap_log_status, TransmitFail);
}

TEST_F(StoreTest, TransferOutcomeNeverHidesAVerdictThatCameFirst) {
    const std::string mac = Mac(1);
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac)));
    struct Case {
        int before;
        int outcome;
        int after;
    };
    const Case cases[] = {
        {Operating, TransmitFinish, TransmitFinish},
        {Operating, TransmitFail, TransmitFail},
        {OperateSuccess, TransmitFinish, OperateSuccess},
        {OperateFail, TransmitFinish, OperateFail},
        {OperateSuccess, TransmitFail, OperateSuccess},
        {WaitOperate, TransmitFail, TransmitFail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " then " << c.outcome);
        ASSERT_TRUE(store->SetParaStatus(mac, c.before));
        ASSERT_TRUE(store->SetLogStatus(mac, c.before));
        EXPECT_EQ(store->SetParaTransferStatus(mac, c.outcome), c.after == c.outcome);
        EXPECT_EQ(store->SetLogTransferStatus(mac, c.outcome), c.after == c.outcome);
        EXPECT_EQ(store->GetParaStatus(mac), c.after);
        EXPECT_EQ(store->GetLogStatus(mac), c.after);
    }
    EXPECT_FALSE(store->SetParaTransferStatus(Mac(9), TransmitFinish));
}

TEST_F(StoreTest, CodeWithoutTextIsStoredWithAnEmptyText) {
    const std::string mac = Mac(1);
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac)));
    for (int code : {-1, 6}) {
        EXPECT_TRUE(store->SetParaStatus(mac, code));
        EXPECT_EQ(store->GetParaStatus(mac), code);
        EXPECT_EQ(StoredText(mac, "ap_para_status_str"), "");
    }
}

TEST_F(StoreTest, UnknownOrMisspeltMacFindsNoRow) {
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device("AA:BB:CC:DD:EE:0F")));
    ASSERT_TRUE(store->SetParaStatus("AA:BB:CC:DD:EE:0F", Operating));
    const char* misses[] = {
        "AA:BB:CC:DD:EE:00",         // another device
        "aa:bb:cc:dd:ee:0f",         // lower case
        "AA:BB:CC:DD:EE:0",          // cut short
        "AA:BB:CC:DD:EE:0F   extra", // longer than the column
        "AA-BB-CC-DD-EE-0F",         "AA:BB:CC:DD:EE:0F' OR '1'='1",
    };
    for (const char* mac : misses) {
        SCOPED_TRACE(mac);
        EXPECT_FALSE(store->SetParaStatus(mac, OperateFail));
        EXPECT_FALSE(store->SetLogStatus(mac, OperateFail));
        EXPECT_EQ(store->GetParaStatus(mac), 0);
        EXPECT_EQ(store->GetLogStatus(mac), 0);
        ap_info_stu record;
        std::memset(&record, 0x55, sizeof record);
        EXPECT_TRUE(store->GetDeviceByMac(mac, record));
        EXPECT_TRUE(AllZero(record));
    }
    EXPECT_EQ(store->GetParaStatus("AA:BB:CC:DD:EE:0F"), Operating);
    EXPECT_EQ(store->GetLogStatus("AA:BB:CC:DD:EE:0F"), WaitOperate);
    EXPECT_EQ(AllMacs().size(), 1u);
}

TEST_F(StoreTest, DeviceByMacFillsMacAndRadioTextsOnly) {
    DeviceTexts t;
    t.ssid2 = "home";
    t.ssid5 = "";
    t.key2 = std::string(64, 'k');
    t.key5 = "secret";
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(3), t)));
    ASSERT_TRUE(store->SetParaStatus(Mac(3), TransmitFinish));

    ap_info_stu record;
    std::memset(&record, 0x55, sizeof record);
    ASSERT_TRUE(store->GetDeviceByMac(Mac(3), record));
    EXPECT_EQ(std::string(record.mac), Mac(3));
    EXPECT_EQ(std::string(record.ap_ssid2), Padded("home", 33));
    EXPECT_EQ(std::string(record.ap_ssid5), ""); // empty text is NULL: no blanks
    EXPECT_EQ(std::string(record.ap_wpakey2), std::string(64, 'k'));
    EXPECT_EQ(std::string(record.ap_wpakey5), Padded("secret", 64));
    EXPECT_EQ(std::string(record.ap_date), "");
    EXPECT_EQ(record.ap_para_status, 0);
    EXPECT_EQ(record.ap_log_status, 0);
}

TEST_F(StoreTest, EmptyMacGivesTheFirstRow) {
    ap_info_stu record;
    EXPECT_TRUE(store->GetDeviceByMac("", record));
    EXPECT_TRUE(AllZero(record));
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(9))));
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));
    EXPECT_TRUE(store->GetDeviceByMac("", record));
    EXPECT_EQ(std::string(record.mac), Mac(9));
    EXPECT_FALSE(store->SetParaStatus("", Operating));
    EXPECT_EQ(store->GetParaStatus(""), 0);
}

// What a discovery reply carries, and what the table and the record keep.
TEST_F(StoreTest, TextsAreKeptToColumnAndFieldWidths) {
    const std::string e = "\xC3\xA9"; // é: two bytes, one character
    std::string e17;
    for (int i = 0; i < 17; ++i)
        e17 += e;
    struct Case {
        const char* name;
        std::string ssid2, ssid5, key2, key5;
        std::string readSsid2, readSsid5, readKey2, readKey5;
    } cases[] = {
        // Fields without a terminating zero are read whole, never into the next.
        {"FullFields", std::string(34, 'a'), std::string(34, 'b'), std::string(66, 'c'),
         std::string(66, 'd'), std::string(33, 'a'), std::string(33, 'b'), std::string(64, 'c'),
         std::string(64, 'd')},
        {"ShortTexts", "x", "y z", "k", "", Padded("x", 33), Padded("y z", 33), Padded("k", 64),
         ""},
        // 17 two-byte characters plus 16 blanks: 50 bytes, cut to 33 on a
        // character boundary (16 characters).
        {"MultiByte", e17, "", "", e17, e17.substr(0, 32), "", "", e17 + std::string(31, ' ')},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceTexts t;
        t.ssid2 = c.ssid2;
        t.ssid5 = c.ssid5;
        t.key2 = c.key2;
        t.key5 = c.key5;
        t.time = std::string(40, '9'); // a time without zero: 32 bytes, cut to 33 columns
        const std::string mac = Mac(++n);
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(mac, t)));

        ap_info_stu record;
        ASSERT_TRUE(store->GetDeviceByMac(mac, record));
        EXPECT_EQ(std::string(record.ap_ssid2), c.readSsid2);
        EXPECT_EQ(std::string(record.ap_ssid5), c.readSsid5);
        EXPECT_EQ(std::string(record.ap_wpakey2), c.readKey2);
        EXPECT_EQ(std::string(record.ap_wpakey5), c.readKey5);

        std::vector<ap_info_stu> records;
        ASSERT_TRUE(Load(records, 1, 48, SortByMac, true, QString::fromStdString(mac)).ok);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(std::string(records[0].ap_date), Padded(std::string(32, '9'), 33));
        EXPECT_EQ(std::string(records[0].ap_ssid2), c.readSsid2);
        EXPECT_EQ(std::string(records[0].ap_wpakey5), c.readKey5);
    }
}

TEST_F(StoreTest, RowsWrittenByStatementsReadBackPadded) {
    ASSERT_TRUE(store->ExecuteSql(
        "INSERT INTO ap_info(mac,ap_ssid2,ap_para_status) VALUES('AA:BB:CC:DD:EE:FF','n',2)"));
    std::vector<ap_info_stu> records;
    ASSERT_TRUE(Load(records).ok);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].mac), "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(std::string(records[0].ap_ssid2), Padded("n", 33));
    EXPECT_EQ(std::string(records[0].ap_ssid5), "");
    EXPECT_EQ(records[0].ap_para_status, 2);
    EXPECT_EQ(records[0].ap_log_status, 0);
}

TEST_F(StoreTest, ExecuteSqlReportsWhetherTheStatementWasAccepted) {
    EXPECT_TRUE(store->ExecuteSql("DELETE FROM ap_info"));
    EXPECT_FALSE(store->ExecuteSql("DELETE * FROM ap_info"));
    EXPECT_FALSE(store->ExecuteSql("select * from no_such_table"));
    EXPECT_TRUE(sink.texts().empty()); // rejected statements are not shown to the operator
    EXPECT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));
}

TEST_F(StoreTest, ClearDevicesEmptiesTheTable) {
    EXPECT_TRUE(store->ClearDevices());
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(i))));
    ASSERT_TRUE(store->SetLogStatus(Mac(2), TransmitFinish));
    EXPECT_TRUE(store->ClearDevices());
    for (int key = SortByMac; key <= SortByDate; ++key) {
        std::vector<ap_info_stu> records;
        DevicePage result = Load(records, 1, 48, key);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.total, 0);
        EXPECT_EQ(result.pageCount, 0);
        EXPECT_TRUE(records.empty());
    }
    EXPECT_EQ(store->GetLogStatus(Mac(2)), 0);
    EXPECT_FALSE(store->SetLogStatus(Mac(2), TransmitFinish));
    EXPECT_TRUE(store->ClearDevices());
}

TEST_F(StoreTest, ClosedStoreFailsEverything) {
    ASSERT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));
    store->Close();
    store->Close();
    EXPECT_FALSE(store->IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));
    EXPECT_FALSE(store->SetParaStatus(Mac(1), Operating));
    EXPECT_EQ(store->GetParaStatus(Mac(1)), 0);
    std::vector<ap_info_stu> records;
    EXPECT_FALSE(Load(records).ok);
    EXPECT_FALSE(store->ClearDevices());
}

TEST(StatusText, CodesAndTexts) {
    const char* texts[] = {"WaitOperate", "Operating",      "OperateSuccess",
                           "OperateFail", "TransmitFinish", "TransmitFail"};
    for (int code = 0; code < 6; ++code)
        EXPECT_EQ(StatusText(code), texts[code]);
    for (int code : {-1, 6, 1000})
        EXPECT_EQ(StatusText(code), "");
}

TEST(StoreInstance, OneStoreInTheProgramFolderUntilShutdown) {
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    CSqlManagement* store = CSqlManagement::GetInstance();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(CSqlManagement::GetInstance(), store);
    EXPECT_TRUE(store->IsOpen());
    EXPECT_EQ(store->DatabasePath(), dir.file("data.db"));
    EXPECT_TRUE(store->SaveDiscoveredDevice(Device(Mac(1))));

    CSqlManagement::Shutdown();
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));
    EXPECT_EQ(CSqlManagement::GetInstance(), store);
    EXPECT_FALSE(store->SetParaStatus(Mac(1), Operating));
    EXPECT_EQ(store->GetParaStatus(Mac(1)), 0);
    CSqlManagement::Shutdown();
}
