#include "records/CSqlManagement.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "records/FixedText.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr const char* kDatabaseFile = "data.db";
constexpr const char* kOpenFailedText = "Failed to open database, unable to get data.";

// Column widths of the char(N) columns.
constexpr std::size_t kMacWidth = 18;
constexpr std::size_t kStatusTextWidth = 33;
constexpr std::size_t kDateWidth = 33;
constexpr std::size_t kSsidWidth = 33;
constexpr std::size_t kKeyWidth = 64;

// Offsets and sizes of the four texts inside DiscoveredDevice::info (bytes
// 22..221 of a discovery reply).
constexpr std::size_t kSsid2Offset = 0, kSsid2Size = 34;
constexpr std::size_t kSsid5Offset = 34, kSsid5Size = 34;
constexpr std::size_t kKey2Offset = 68, kKey2Size = 66;
constexpr std::size_t kKey5Offset = 134, kKey5Size = 66;
static_assert(kKey5Offset + kKey5Size == sizeof(DiscoveredDevice::info));

// The table: an auto-numbered ID, fixed-width texts and 32-bit codes. The
// widths are kept by the store (fixedtext), not by SQLite. The index on mac
// is not unique: one row per MAC is kept by looking the MAC up before insert.
// Each sort column has an index (which ends in the ID), so a page is read
// straight off the index instead of sorting the whole table.
constexpr const char* kCreateTable =
    "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY AUTOINCREMENT,mac char(18),"
    "ap_para_status integer,ap_para_status_str char(33),ap_log_status integer,"
    "ap_log_status_str char(33),ap_date char(33),ap_ssid2 char(33),ap_ssid5 char(33),"
    "ap_wpakey2 char(64),ap_wpakey5 char(64));"
    "CREATE INDEX ap_info_mac ON ap_info(mac);"
    "CREATE INDEX ap_info_log ON ap_info(ap_log_status_str);"
    "CREATE INDEX ap_info_para ON ap_info(ap_para_status_str);"
    "CREATE INDEX ap_info_date ON ap_info(ap_date);";

// A row is "the row of a MAC" when it is the first (lowest ID) with that MAC.
constexpr const char* kFirstRowOfMac = "(SELECT ID FROM ap_info WHERE mac=?1 ORDER BY ID LIMIT 1)";

constexpr const char* kSortColumns[] = {"mac", "ap_log_status_str", "ap_para_status_str",
                                        "ap_date"};

// Statements prepared once per connection.
enum Stmt {
    kSaveUpdate,
    kSaveInsert,
    kSetPara,
    kSetLog,
    kGetPara,
    kGetLog,
    kDeviceByMac,
    kFirstDevice,
    kCountAll,
    kCountFiltered,
    kStmtCount
};

std::string StatementText(Stmt which) {
    const std::string first = kFirstRowOfMac;
    switch (which) {
    case kSaveUpdate:
        return "UPDATE ap_info SET ap_para_status=0,ap_para_status_str=?2,ap_log_status=0,"
               "ap_log_status_str=?3,ap_date=?4,ap_ssid2=?5,ap_ssid5=?6,ap_wpakey2=?7,"
               "ap_wpakey5=?8 WHERE ID=" +
               first;
    case kSaveInsert:
        return "INSERT INTO ap_info(mac,ap_para_status,ap_para_status_str,ap_log_status,"
               "ap_log_status_str,ap_date,ap_ssid2,ap_ssid5,ap_wpakey2,ap_wpakey5) "
               "VALUES(?1,0,?2,0,?3,?4,?5,?6,?7,?8)";
    case kSetPara:
        return "UPDATE ap_info SET ap_para_status=?2,ap_para_status_str=?3 WHERE ID=" + first;
    case kSetLog:
        return "UPDATE ap_info SET ap_log_status=?2,ap_log_status_str=?3 WHERE ID=" + first;
    case kGetPara:
        return "SELECT ap_para_status FROM ap_info WHERE ID=" + first;
    case kGetLog:
        return "SELECT ap_log_status FROM ap_info WHERE ID=" + first;
    case kDeviceByMac:
        return "SELECT mac,ap_ssid2,ap_ssid5,ap_wpakey2,ap_wpakey5 FROM ap_info WHERE ID=" + first;
    case kFirstDevice:
        return "SELECT mac,ap_ssid2,ap_ssid5,ap_wpakey2,ap_wpakey5 FROM ap_info "
               "ORDER BY ID LIMIT 1";
    case kCountAll:
        return "SELECT count(*) FROM ap_info";
    case kCountFiltered:
        return "SELECT count(*) FROM ap_info WHERE mac LIKE ?1 ESCAPE '\\'";
    case kStmtCount:
        break;
    }
    return {};
}

// One page of rows. The ID breaks ties, in the same direction, so that
// consecutive pages neither repeat nor skip rows with equal sort values and a
// descending list is the exact reverse of the ascending one.
std::string PageStatementText(int sortKey, bool ascending, bool filtered) {
    std::string sql = "SELECT mac,ap_date,ap_para_status,ap_log_status,ap_ssid2,ap_ssid5,"
                      "ap_wpakey2,ap_wpakey5 FROM ap_info ";
    if (filtered)
        sql += "WHERE mac LIKE ?1 ESCAPE '\\' ";
    sql += "ORDER BY ";
    sql += kSortColumns[sortKey];
    sql += ascending ? " ASC,ID ASC" : " DESC,ID DESC";
    sql += " LIMIT ?2 OFFSET ?3";
    return sql;
}

// "%<filter>%" with the LIKE wildcards and the escape character escaped, so the
// filter matches as a literal substring.
std::string LikePattern(const std::string& filter) {
    std::string pattern = "%";
    for (char c : filter) {
        if (c == '\\' || c == '%' || c == '_')
            pattern += '\\';
        pattern += c;
    }
    pattern += '%';
    return pattern;
}

// Binds a column value: NULL for nothing.
void BindColumn(sqlite3_stmt* stmt, int index, const std::optional<std::string>& value) {
    if (value)
        sqlite3_bind_text(stmt, index, value->data(), static_cast<int>(value->size()),
                          SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(stmt, index);
}

std::string_view ColumnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))};
}

template <std::size_t N>
void ReadColumn(sqlite3_stmt* stmt, int column, std::size_t width, char (&field)[N]) {
    fixedtext::ColumnToField(ColumnText(stmt, column), width, field, N);
}

// Leaves a cached statement ready for its next use, whatever happened.
class StmtUse {
public:
    explicit StmtUse(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~StmtUse() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    StmtUse(const StmtUse&) = delete;
    StmtUse& operator=(const StmtUse&) = delete;

private:
    sqlite3_stmt* stmt_;
};

// The lookup value of a MAC text: the text as its column stores it. A text
// longer than the column can never be stored, so it matches nothing.
std::optional<std::string> MacKey(const std::string& macText, bool& possible) {
    possible = fixedtext::CharCount(macText) <= kMacWidth;
    return fixedtext::ToColumn(macText, kMacWidth);
}

std::atomic<CSqlManagement*> g_instance{nullptr};
std::once_flag g_instanceOnce;

} // namespace

struct CSqlManagement::Impl {
    mutable std::recursive_mutex lock;
    std::string path;
    bool ownsFile = false;
    sqlite3* db = nullptr;
    std::array<sqlite3_stmt*, kStmtCount> stmts{};
    // [filtered][sortKey][ascending], prepared on first use.
    sqlite3_stmt* pageStmts[2][4][2] = {};

    bool Open();
    void CloseLocked();
    sqlite3_stmt* Page(int sortKey, bool ascending, bool filtered);
    bool SetStatus(Stmt which, const std::string& macText, int status);
    int GetStatus(Stmt which, const std::string& macText);

    // Progress beside the statuses, in memory only: it is written far more
    // often than a status and never needs to outlive the run. Its own lock,
    // so a transfer's progress never waits behind a page query.
    std::mutex progressLock;
    std::unordered_map<std::string, std::array<TransferProgress, 2>> progress;
    std::uint64_t progressWrites = 0;
    void StampStatus(TransferFile file, const std::string& macText, int status);
};

namespace {
std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
} // namespace

void CSqlManagement::Impl::StampStatus(TransferFile file, const std::string& macText, int status) {
    std::lock_guard<std::mutex> guard(progressLock);
    TransferProgress& p = progress[macText][static_cast<int>(file)];
    if (status == Operating) {
        p = TransferProgress{};
        p.startMs = NowMs();
    } else if (status == OperateSuccess || status == OperateFail || status == TransmitFail) {
        p.endMs = NowMs();
    }
}

bool CSqlManagement::Impl::Open() {
    // Any file left by an earlier run is discarded, with its journals: a hot
    // journal next to a fresh file would be rolled back into it.
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(path + suffix, ec);
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found)
        return false; // still there (or cannot tell): never reuse old rows

    // The file holds stored keys: made here 0600 and exclusively, then opened by
    // SQLite with NOFOLLOW, so a link planted at the name after the removal
    // makes the start fail instead of writing to the link's target.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        std::filesystem::remove(path, ec);
        return false;
    }
    ownsFile = true;
    // A scratch file for one run: no durability needed, one connection only.
    // LIKE compares case-sensitively, as every MAC comparison does.
    const char* setup = "PRAGMA locking_mode=EXCLUSIVE;PRAGMA journal_mode=MEMORY;"
                        "PRAGMA synchronous=OFF;PRAGMA case_sensitive_like=ON;";
    bool ok = sqlite3_exec(db, setup, nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < kStmtCount; ++i) {
        const std::string sql = StatementText(static_cast<Stmt>(i));
        ok = sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmts[i],
                                nullptr) == SQLITE_OK;
    }
    if (!ok)
        CloseLocked();
    return ok;
}

void CSqlManagement::Impl::CloseLocked() {
    for (auto& stmt : stmts) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }
    for (auto& byFilter : pageStmts)
        for (auto& byKey : byFilter)
            for (auto& stmt : byKey) {
                sqlite3_finalize(stmt);
                stmt = nullptr;
            }
    if (db) {
        sqlite3_close(db);
        db = nullptr;
    }
    if (ownsFile) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        std::filesystem::remove(path + "-journal", ec);
        ownsFile = false;
    }
}

sqlite3_stmt* CSqlManagement::Impl::Page(int sortKey, bool ascending, bool filtered) {
    sqlite3_stmt*& stmt = pageStmts[filtered][sortKey][ascending];
    if (!stmt) {
        const std::string sql = PageStatementText(sortKey, ascending, filtered);
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(stmt);
            stmt = nullptr;
        }
    }
    return stmt;
}

bool CSqlManagement::Impl::SetStatus(Stmt which, const std::string& macText, int status) {
    bool possible = false;
    const std::optional<std::string> key = MacKey(macText, possible);
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!db || !possible)
        return false;
    // The text is looked up only on an open store: after the store closed at
    // exit, a late caller touches nothing but the lock.
    const std::optional<std::string> text =
        fixedtext::ToColumn(StatusText(status), kStatusTextWidth);
    sqlite3_stmt* stmt = stmts[which];
    StmtUse use(stmt);
    BindColumn(stmt, 1, key);
    sqlite3_bind_int(stmt, 2, status);
    BindColumn(stmt, 3, text);
    const bool written = sqlite3_step(stmt) == SQLITE_DONE && sqlite3_changes(db) > 0;
    if (written)
        StampStatus(which == kSetLog ? TransferFile::Logo : TransferFile::Config, macText, status);
    return written;
}

int CSqlManagement::Impl::GetStatus(Stmt which, const std::string& macText) {
    bool possible = false;
    const std::optional<std::string> key = MacKey(macText, possible);
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!db || !possible)
        return 0;
    sqlite3_stmt* stmt = stmts[which];
    StmtUse use(stmt);
    BindColumn(stmt, 1, key);
    if (sqlite3_step(stmt) != SQLITE_ROW)
        return 0;
    return sqlite3_column_int(stmt, 0);
}

CSqlManagement* CSqlManagement::GetInstance() {
    std::call_once(g_instanceOnce, [] {
        // Never deleted: its lock must outlive any thread that still calls in
        // during exit. Shutdown() closes the connection and removes the file.
        g_instance = new CSqlManagement(GetProgramDirectory());
        std::atexit(&CSqlManagement::Shutdown);
    });
    return g_instance;
}

void CSqlManagement::Shutdown() {
    if (CSqlManagement* store = g_instance.load())
        store->Close();
}

CSqlManagement::CSqlManagement(const std::string& programDirectory) : impl_(new Impl) {
    std::string dir = programDirectory;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    impl_->path = dir + kDatabaseFile;
    bool opened = false;
    {
        std::lock_guard<std::recursive_mutex> guard(impl_->lock);
        opened = impl_->Open();
    }
    if (!opened)
        ShowMessage(TranslateText(std::string(kOpenFailedText)), MessageIcon::None);
}

CSqlManagement::~CSqlManagement() {
    Close();
    delete impl_;
}

bool CSqlManagement::IsOpen() const {
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    return impl_->db != nullptr;
}

const std::string& CSqlManagement::DatabasePath() const {
    return impl_->path;
}

void CSqlManagement::Close() {
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    impl_->CloseLocked();
}

bool CSqlManagement::ExecuteSql(const std::string& statement) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::lock_guard<std::recursive_mutex> guard(impl_->lock);
        if (!impl_->db)
            return false; // a closed store fails every attempt at once
        if (sqlite3_exec(impl_->db, statement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
    }
    return false;
}

bool CSqlManagement::ClearDevices() {
    {
        std::lock_guard<std::mutex> guard(impl_->progressLock);
        impl_->progress.clear();
    }
    return ExecuteSql("DELETE FROM ap_info");
}

DevicePage CSqlManagement::LoadDevicePage(int sortKey, std::vector<ap_info_stu>& records,
                                          int pageSize, int page, bool ascending,
                                          const QString& filter) {
    DevicePage result;
    if (sortKey < SortByMac || sortKey > SortByDate || pageSize <= 0)
        return result;
    const bool filtered = !filter.isEmpty();
    const std::string pattern = filtered ? LikePattern(filter.toStdString()) : std::string();

    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    if (!impl_->db)
        return result;
    sqlite3_stmt* count = impl_->stmts[filtered ? kCountFiltered : kCountAll];
    sqlite3_stmt* rows = impl_->Page(sortKey, ascending, filtered);
    if (!rows)
        return result;

    std::int64_t total = 0;
    {
        StmtUse use(count);
        if (filtered)
            sqlite3_bind_text(count, 1, pattern.data(), static_cast<int>(pattern.size()),
                              SQLITE_STATIC);
        if (sqlite3_step(count) != SQLITE_ROW)
            return result;
        total = sqlite3_column_int64(count, 0);
    }

    const std::int64_t offset = (static_cast<std::int64_t>(page) - 1) * pageSize;
    std::vector<ap_info_stu> pageRecords;
    if (page >= 1 && offset < total) {
        StmtUse use(rows);
        if (filtered)
            sqlite3_bind_text(rows, 1, pattern.data(), static_cast<int>(pattern.size()),
                              SQLITE_STATIC);
        sqlite3_bind_int(rows, 2, pageSize);
        sqlite3_bind_int64(rows, 3, offset);
        pageRecords.reserve(static_cast<std::size_t>(std::min<std::int64_t>(pageSize, total)));
        int rc;
        while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
            ap_info_stu record{};
            ReadColumn(rows, 0, kMacWidth, record.mac);
            ReadColumn(rows, 1, kDateWidth, record.ap_date);
            record.ap_para_status = sqlite3_column_int(rows, 2);
            record.ap_log_status = sqlite3_column_int(rows, 3);
            ReadColumn(rows, 4, kSsidWidth, record.ap_ssid2);
            ReadColumn(rows, 5, kSsidWidth, record.ap_ssid5);
            ReadColumn(rows, 6, kKeyWidth, record.ap_wpakey2);
            ReadColumn(rows, 7, kKeyWidth, record.ap_wpakey5);
            pageRecords.push_back(record);
        }
        if (rc != SQLITE_DONE)
            return result;
    }

    records.insert(records.end(), pageRecords.begin(), pageRecords.end());
    result.total = static_cast<int>(total);
    result.pageCount = static_cast<int>(total / pageSize + (total % pageSize ? 1 : 0));
    result.ok = true;
    return result;
}

bool CSqlManagement::GetDeviceByMac(const std::string& macText, ap_info_stu& record) {
    std::memset(&record, 0, sizeof record);
    bool possible = false;
    const std::optional<std::string> key = MacKey(macText, possible);
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    if (!impl_->db)
        return false;
    if (!possible)
        return true; // the query would run and match nothing
    sqlite3_stmt* stmt = impl_->stmts[macText.empty() ? kFirstDevice : kDeviceByMac];
    StmtUse use(stmt);
    if (!macText.empty())
        BindColumn(stmt, 1, key);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        ReadColumn(stmt, 0, kMacWidth, record.mac);
        ReadColumn(stmt, 1, kSsidWidth, record.ap_ssid2);
        ReadColumn(stmt, 2, kSsidWidth, record.ap_ssid5);
        ReadColumn(stmt, 3, kKeyWidth, record.ap_wpakey2);
        ReadColumn(stmt, 4, kKeyWidth, record.ap_wpakey5);
        return true;
    }
    return rc == SQLITE_DONE;
}

bool CSqlManagement::SaveDiscoveredDevice(DiscoveredDevice device) {
    using fixedtext::FromField;
    using fixedtext::ToColumn;
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    if (!impl_->db)
        return false;
    const char* info = reinterpret_cast<const char*>(device.info);
    const std::optional<std::string> values[] = {
        ToColumn(FromField(device.macText, sizeof device.macText), kMacWidth),
        ToColumn(StatusText(WaitOperate), kStatusTextWidth),
        ToColumn(StatusText(WaitOperate), kStatusTextWidth),
        ToColumn(FromField(device.time, sizeof device.time), kDateWidth),
        ToColumn(FromField(info + kSsid2Offset, kSsid2Size), kSsidWidth),
        ToColumn(FromField(info + kSsid5Offset, kSsid5Size), kSsidWidth),
        ToColumn(FromField(info + kKey2Offset, kKey2Size), kKeyWidth),
        ToColumn(FromField(info + kKey5Offset, kKey5Size), kKeyWidth),
    };
    // Overwrite the MAC's row if it has one, else add a row; both under the
    // lock, so concurrent saves of one MAC never make two rows.
    for (Stmt which : {kSaveUpdate, kSaveInsert}) {
        sqlite3_stmt* stmt = impl_->stmts[which];
        StmtUse use(stmt);
        for (int i = 0; i < 8; ++i)
            BindColumn(stmt, i + 1, values[i]);
        if (sqlite3_step(stmt) != SQLITE_DONE)
            return false;
        if (sqlite3_changes(impl_->db) > 0) {
            // Both statuses are back to WaitOperate: so is the progress.
            std::lock_guard<std::mutex> progressGuard(impl_->progressLock);
            impl_->progress.erase(std::string(FromField(device.macText, sizeof device.macText)));
            return true;
        }
    }
    return false;
}

bool CSqlManagement::SetParaStatus(const std::string& macText, int status) {
    return impl_->SetStatus(kSetPara, macText, status);
}

bool CSqlManagement::SetLogStatus(const std::string& macText, int status) {
    return impl_->SetStatus(kSetLog, macText, status);
}

bool CSqlManagement::SetParaTransferStatus(const std::string& macText, int status) {
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    const int current = impl_->GetStatus(kGetPara, macText);
    if (current == OperateSuccess || current == OperateFail)
        return false;
    return impl_->SetStatus(kSetPara, macText, status);
}

bool CSqlManagement::SetLogTransferStatus(const std::string& macText, int status) {
    std::lock_guard<std::recursive_mutex> guard(impl_->lock);
    const int current = impl_->GetStatus(kGetLog, macText);
    if (current == OperateSuccess || current == OperateFail)
        return false;
    return impl_->SetStatus(kSetLog, macText, status);
}

int CSqlManagement::GetParaStatus(const std::string& macText) {
    return impl_->GetStatus(kGetPara, macText);
}

int CSqlManagement::GetLogStatus(const std::string& macText) {
    return impl_->GetStatus(kGetLog, macText);
}

bool CSqlManagement::SetProgress(const std::string& macText, TransferFile file,
                                 std::int64_t bytesDone, std::int64_t bytesTotal) {
    std::lock_guard<std::mutex> guard(impl_->progressLock);
    auto it = impl_->progress.find(macText);
    if (it == impl_->progress.end())
        return false;
    TransferProgress& p = it->second[static_cast<int>(file)];
    p.bytesDone = bytesDone;
    p.bytesTotal = bytesTotal;
    ++impl_->progressWrites;
    return true;
}

bool CSqlManagement::AddTransmissions(const std::string& macText, TransferFile file,
                                      std::uint64_t transmissions, std::uint64_t retransmissions) {
    std::lock_guard<std::mutex> guard(impl_->progressLock);
    auto it = impl_->progress.find(macText);
    if (it == impl_->progress.end())
        return false;
    TransferProgress& p = it->second[static_cast<int>(file)];
    p.transmissions += transmissions;
    p.retransmissions += retransmissions;
    return true;
}

TransferProgress CSqlManagement::GetProgress(const std::string& macText, TransferFile file) {
    std::lock_guard<std::mutex> guard(impl_->progressLock);
    auto it = impl_->progress.find(macText);
    return it == impl_->progress.end() ? TransferProgress{} : it->second[static_cast<int>(file)];
}

std::uint64_t CSqlManagement::ProgressWrites() {
    std::lock_guard<std::mutex> guard(impl_->progressLock);
    return impl_->progressWrites;
}

std::vector<std::string> StoredDeviceMacs(CSqlManagement& store) {
    std::vector<ap_info_stu> rows;
    store.LoadDevicePage(SortByMac, rows, 1 << 20, 1, true, QString());
    std::vector<std::string> macs;
    macs.reserve(rows.size());
    for (const ap_info_stu& r : rows)
        macs.emplace_back(r.mac, strnlen(r.mac, sizeof r.mac));
    return macs;
}
