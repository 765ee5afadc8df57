// The base helpers against what another local user can plant: links, FIFOs,
// devices and folders of someone else.

#include "base/FileUtil.h"
#include "base/FolderTrust.h"
#include "base/OperationLog.h"
#include "base/SafeFile.h"
#include "base/SingleInstance.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qvtest::ReadFileBytes;
using qvtest::TempProgramDir;

constexpr uid_t kNobody = 65534;
const std::string kSecret = "root-only contents\n";

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Runs f on another thread; fails the test instead of hanging when it does
// not return in time (unblock then ends a stuck open or read).
template <typename F> auto WithinSeconds(int seconds, F f, const std::function<void()>& unblock) {
    auto result = std::async(std::launch::async, f);
    if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked for " << seconds << " s";
        unblock();
    }
    return result.get();
}

// Opens the FIFO's other end so that a reader or writer stuck on it returns.
void OpenOtherEnd(const std::string& fifo) {
    int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}

TEST(SafeFile, PlantedLinksAreNeverFollowed) {
    struct Case {
        const char* what;
        bool (*write)(const std::string& path);
        bool written; // the call reports success
    } cases[] = {
        {"append", [](const std::string& p) { return AppendToFile(p, "line\n"); }, false},
        {"whole file", [](const std::string& p) { return WriteWholeFile(p, "new\n"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        dir.write("secret", kSecret);
        ASSERT_EQ(::symlink(dir.file("secret").c_str(), dir.file("name").c_str()), 0);
        EXPECT_EQ(c.write(dir.file("name")), c.written);
        EXPECT_EQ(ReadFileBytes(dir.file("secret")), kSecret);
        if (c.written) {
            // The link itself was replaced by a file of the writer's own.
            EXPECT_FALSE(IsLink(dir.file("name")));
            EXPECT_EQ(ReadFileBytes(dir.file("name")), "new\n");
            EXPECT_EQ(ModeOf(dir.file("name")), 0600u);
        }
        // No temporary file is left beside it.
        int entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            entries += e.path().filename() != "secret" && e.path().filename() != "name";
        EXPECT_EQ(entries, 0);
    }
}

TEST(SafeFile, CreatedFilesAndFoldersAreTheOwnersOnly) {
    TempProgramDir dir;
    const mode_t old = ::umask(0); // even without the programs' umask
    EXPECT_TRUE(AppendToFile(dir.file("log.txt"), "a"));
    EXPECT_TRUE(AppendToFile(dir.file("log.txt"), "b"));
    EXPECT_TRUE(WriteWholeFile(dir.file("whole.bin"), "c"));
    EXPECT_TRUE(MakeFolders(dir.file("one/two/")));
    ::umask(old);
    EXPECT_EQ(ReadFileBytes(dir.file("log.txt")), "ab");
    EXPECT_EQ(ModeOf(dir.file("log.txt")), 0600u);
    EXPECT_EQ(ModeOf(dir.file("whole.bin")), 0600u);
    EXPECT_EQ(ModeOf(dir.file("one")), 0700u);
    EXPECT_EQ(ModeOf(dir.file("one/two")), 0700u);
}

TEST(SafeFile, AppendRefusesWhatIsNotARegularFile) {
    TempProgramDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WithinSeconds(
        5, [&] { return AppendToFile(fifo, "x"); }, [&] { OpenOtherEnd(fifo); }));
    EXPECT_FALSE(AppendToFile(dir.path(), "x"));
    // A folder where a whole file goes is left as it is.
    ASSERT_TRUE(MakeFolders(dir.file("folder")));
    EXPECT_FALSE(WriteWholeFile(dir.file("folder"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    // A link where a folder is wanted is not taken for one.
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("linked").c_str()), 0);
    EXPECT_FALSE(MakeFolders(dir.file("linked")));
}

TEST(OperationLogFiles, LinkAtTheDaysLogLeavesItsTargetAlone) {
    TempProgramDir dir;
    dir.write("secret", kSecret);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &tm);
    ASSERT_TRUE(MakeFolders(dir.file(std::string("Log/") + day)));
    for (const char* name : {"Success.txt", "Fail.txt"})
        ASSERT_EQ(::symlink(dir.file("secret").c_str(),
                            dir.file(std::string("Log/") + day + "/" + name).c_str()),
                  0);
    ASSERT_EQ(::symlink(dir.file("secret").c_str(), dir.file("Log/diagnostic.log").c_str()), 0);
    WriteOperationLog("00:11:22:33:44:55", true, 1);
    WriteOperationLog("00:11:22:33:44:55", false, 2);
    QV_DIAGNOSTIC(0, "diagnostic line");
    EXPECT_EQ(ReadFileBytes(dir.file("secret")), kSecret);
}

TEST(OperationLogFiles, NewLogsAreTheOwnersOnly) {
    TempProgramDir dir;
    const mode_t old = ::umask(0);
    WriteOperationLog("00:11:22:33:44:55", true, 1);
    ::umask(old);
    const auto day = std::filesystem::directory_iterator(dir.file("Log"))->path().string();
    EXPECT_EQ(ModeOf(dir.file("Log")), 0700u);
    EXPECT_EQ(ModeOf(day), 0700u);
    EXPECT_EQ(ModeOf(day + "/Success.txt"), 0600u);
}

TEST(InputFiles, OnlyRegularFilesWithinTheBound) {
    TempProgramDir dir;
    dir.write("ten", "0123456789");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(dir.file("ten").c_str(), dir.file("link").c_str()), 0);
    struct Case {
        std::string path;
        std::size_t limit;
        std::optional<std::string> bytes;
        FileKind kind;
        std::int64_t size;
    } cases[] = {
        {dir.file("ten"), 10, "0123456789", FileKind::Regular, 10},
        {dir.file("ten"), 9, std::nullopt, FileKind::Regular, 10},
        {dir.file("link"), 10, "0123456789", FileKind::Regular, 10}, // the operator's own link
        {fifo, 10, std::nullopt, FileKind::Other, 0},
        {"/dev/zero", 1u << 20, std::nullopt, FileKind::Other, 0},
        {dir.path(), 10, std::nullopt, FileKind::Other, 0},
        {dir.file("missing"), 10, std::nullopt, FileKind::Missing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto unblock = [&] { OpenOtherEnd(fifo); };
        EXPECT_EQ(WithinSeconds(
                      5, [&] { return ReadWholeFile(c.path, c.limit); }, unblock),
                  c.bytes);
        EXPECT_EQ(WithinSeconds(
                      5, [&] { return OpenedFileKind(c.path); }, unblock),
                  c.kind);
        EXPECT_EQ(WithinSeconds(
                      5, [&] { return GetFileSize(c.path); }, unblock),
                  c.size);
    }
}

TEST(FolderTrust, RootRefusesFoldersOthersControl) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give folders away";
    struct Case {
        const char* what;
        uid_t owner;
        mode_t mode;
        long sudoUid;
        bool refused;
        const char* reason;
    } cases[] = {
        {"root's own", 0, 0700, -1, false, ""},
        {"root's, readable by all", 0, 0755, -1, false, ""},
        {"owned by nobody", kNobody, 0700, -1, true, "is owned by user 65534"},
        {"owned by the sudo caller", kNobody, 0755, kNobody, false, ""},
        {"owned by another than the sudo caller", kNobody, 0700, 1000, true, "is owned by user"},
        {"writable by the group", 0, 0770, -1, true, "is writable by group or others"},
        {"writable by all, sticky", 0, 01777, -1, true, "is writable by group or others"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        ASSERT_EQ(::mkdir(dir.file("Log").c_str(), 0700), 0);
        ASSERT_EQ(::chown(dir.file("Log").c_str(), c.owner, 0), 0);
        ASSERT_EQ(::chmod(dir.file("Log").c_str(), c.mode), 0);
        const std::string message =
            UntrustedFolderMessage(WorkingFolders(dir.path()), 0, c.sudoUid);
        if (!c.refused) {
            EXPECT_EQ(message, "");
            continue;
        }
        EXPECT_NE(message.find(dir.file("Log/")), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        // Only root refuses: an ordinary user works in whatever folder it can.
        EXPECT_EQ(UntrustedFolderMessage(WorkingFolders(dir.path()), 1000, -1), "");
    }
}

TEST(SingleInstanceLock, OnlyARegularFileOfTheUsersOwnFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files away";
    struct Case {
        const char* what;
        void (*plant)(const std::string& dir, const std::string& lock);
        InstanceGuard guard;
    } cases[] = {
        {"nothing planted", [](const std::string&, const std::string&) {}, InstanceGuard::First},
        {"a FIFO",
         [](const std::string&, const std::string& lock) { ::mkfifo(lock.c_str(), 0666); },
         InstanceGuard::Unavailable},
        {"a link",
         [](const std::string& dir, const std::string& lock) {
             ::close(::open((dir + "target").c_str(), O_CREAT | O_WRONLY, 0600));
             ::symlink((dir + "target").c_str(), lock.c_str());
         },
         InstanceGuard::Unavailable},
        {"a file of another user",
         [](const std::string&, const std::string& lock) {
             ::close(::open(lock.c_str(), O_CREAT | O_WRONLY, 0644));
             ::chown(lock.c_str(), kNobody, kNobody);
         },
         InstanceGuard::Unavailable},
        {"a folder others can write",
         [](const std::string& dir, const std::string&) { ::chmod(dir.c_str(), 01777); },
         InstanceGuard::Unavailable},
        {"a folder of another user",
         [](const std::string& dir, const std::string&) { ::chown(dir.c_str(), kNobody, 0); },
         InstanceGuard::Unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        const std::string lock = dir.file("Norva_Quorvantix.lock");
        c.plant(dir.path(), lock);
        const InstanceGuard got = WithinSeconds(
            5, [&] { return AcquireSingleInstance(dir.path()); }, [&] { OpenOtherEnd(lock); });
        EXPECT_EQ(got, c.guard);
    }
}

TEST(SingleInstanceLock, FallbackFolderIsMadeTheUsersOwn) {
    TempProgramDir dir;
    const std::string folder = dir.file("quorvantix-user");
    EXPECT_EQ(AcquireSingleInstance(folder), InstanceGuard::First);
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(folder + "/Norva_Quorvantix.lock") & 0077, 0u);
}

} // namespace
