#include "base/OperationLog.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::system_clock;

Clock::time_point LocalTime(int year, int month, int day, int hour, int minute, int second,
                            int millis = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&tm)) + std::chrono::milliseconds(millis);
}

const std::string kHeader = "MAC\t\t\tType\t\tDate\n\r\n";

class OperationLog : public ::testing::Test {
protected:
    void At(Clock::time_point t) {
        SetLogClock([t] { return t; });
    }
    void TearDown() override { SetLogClock(nullptr); }
    qvtest::TempProgramDir dir_;
};

} // namespace

TEST_F(OperationLog, RecordsOfOneDay) {
    At(LocalTime(2024, 3, 5, 9, 5, 3));
    EXPECT_TRUE(WriteOperationLog("00:1A:2B:3C:4D:5E", true, 1));
    EXPECT_EQ(dir_.read("Log/2024-03-05/Success.txt"),
              kHeader + "00:1A:2B:3C:4D:5E\tPARA_DATA\t2024-03-05 09:05:03\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("Log/2024-03-05/Fail.txt")));

    // A failure later that day: the folder exists, Fail.txt does not yet.
    At(LocalTime(2024, 3, 5, 14, 30, 0));
    EXPECT_TRUE(WriteOperationLog("AA:BB:CC:DD:EE:FF", false, 2));
    EXPECT_EQ(dir_.read("Log/2024-03-05/Fail.txt"),
              kHeader + "AA:BB:CC:DD:EE:FF\tLOG_DATA\t2024-03-05 14:30:00\n\r\n");

    // A second success appends the line only.
    At(LocalTime(2024, 3, 5, 23, 59, 59));
    EXPECT_TRUE(WriteOperationLog("11:22:33:44:55:66", true, 7));
    EXPECT_EQ(dir_.read("Log/2024-03-05/Success.txt"),
              kHeader + "00:1A:2B:3C:4D:5E\tPARA_DATA\t2024-03-05 09:05:03\n\r\n" +
                  "11:22:33:44:55:66\tLOG_DATA\t2024-03-05 23:59:59\n\r\n");
}

TEST_F(OperationLog, EachSideOfMidnightHasItsOwnFolder) {
    At(LocalTime(2024, 12, 31, 23, 59, 59, 999));
    WriteOperationLog("00:00:00:00:00:01", true, 1);
    At(LocalTime(2025, 1, 1, 0, 0, 0, 1));
    WriteOperationLog("00:00:00:00:00:02", true, 1);
    EXPECT_EQ(dir_.read("Log/2024-12-31/Success.txt"),
              kHeader + "00:00:00:00:00:01\tPARA_DATA\t2024-12-31 23:59:59\n\r\n");
    EXPECT_EQ(dir_.read("Log/2025-01-01/Success.txt"),
              kHeader + "00:00:00:00:00:02\tPARA_DATA\t2025-01-01 00:00:00\n\r\n");
}

TEST_F(OperationLog, UnwritableFolderLosesTheRecordSilently) {
    qvtest::RecordingMessageSink messages;
    dir_.write("Log", "a file where the folder should be");
    At(LocalTime(2024, 3, 5, 9, 0, 0));
    EXPECT_TRUE(WriteOperationLog("00:1A:2B:3C:4D:5E", true, 1));
    EXPECT_TRUE(WriteOperationLog("00:1A:2B:3C:4D:5F", false, 2));
    EXPECT_EQ(dir_.read("Log"), "a file where the folder should be");
    EXPECT_TRUE(messages.texts().empty()) << "nothing is shown to the operator";
    // The record went nowhere else in the program folder.
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"Log"});

    // Once the folder can be made, the next record is written as usual.
    std::filesystem::remove(dir_.file("Log"));
    EXPECT_TRUE(WriteOperationLog("00:1A:2B:3C:4D:60", true, 1));
    EXPECT_EQ(dir_.read("Log/2024-03-05/Success.txt"),
              kHeader + "00:1A:2B:3C:4D:60\tPARA_DATA\t2024-03-05 09:00:00\n\r\n");
}

TEST_F(OperationLog, ConcurrentWritersNeverInterleaveLines) {
    At(LocalTime(2024, 3, 5, 9, 0, 0));
    WriteOperationLog("00:00:00:00:00:00", true, 1); // header first
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                WriteOperationLog("0" + std::to_string(t) + ":00:00:00:00:00", true, 1);
        });
    for (auto& w : writers)
        w.join();
    std::ifstream in(dir_.file("Log/2024-03-05/Success.txt"), std::ios::binary);
    std::string line;
    int lines = 0;
    std::getline(in, line); // header
    std::getline(in, line); // "\r"
    const std::regex record("0[0-3]:00:00:00:00:00\tPARA_DATA\t2024-03-05 09:00:00");
    while (std::getline(in, line)) {
        if (line == "\r")
            continue;
        EXPECT_TRUE(std::regex_match(line, record)) << line;
        ++lines;
    }
    EXPECT_EQ(lines, 201);
}

TEST(AppendText, AddsCrLfAndRefusesEmptyText) {
    qvtest::TempProgramDir dir;
    const std::string path = dir.file("a.txt");
    EXPECT_FALSE(AppendText("", path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(AppendText("one\n", path));
    EXPECT_TRUE(AppendText("two", path));
    EXPECT_EQ(dir.read("a.txt"), "one\n\r\ntwo\r\n");
    EXPECT_FALSE(AppendText("x", dir.file("missing/folder/a.txt")));
}

TEST(AppendText, LongTextIsCutTo257Bytes) {
    qvtest::TempProgramDir dir;
    EXPECT_TRUE(AppendText(std::string(300, 'x'), dir.file("a.txt")));
    EXPECT_EQ(dir.read("a.txt"), std::string(257, 'x') + "\r\n");
}

TEST(WriteDiagnostic, LineLayout) {
    qvtest::TempProgramDir dir;
    SetLogClock([] { return LocalTime(2024, 3, 5, 9, 5, 3, 7); });
    testing::internal::CaptureStderr();
    WriteDiagnostic("int Foo::Bar(int)", 1, 42, "create %s fail", "thread_recv_discover");
    WriteDiagnostic("void f()", 0, 7, "plain");
    const std::string err = testing::internal::GetCapturedStderr();
    SetLogClock(nullptr);

    const std::string file = dir.read("Log/diagnostic.log");
    EXPECT_EQ(file, err);
    const std::regex layout("\\[2024-03-05 09:05:03:0007\\]\\[ERROR\\]\\[ThreadID: [0-9]+\\]"
                            "\\[int Foo::Bar\\(int\\):42\\]create thread_recv_discover fail\r\n"
                            "\\[2024-03-05 09:05:03:0007\\]\\[INFO\\]\\[ThreadID: [0-9]+\\]"
                            "\\[void f\\(\\):7\\]plain\r\n");
    EXPECT_TRUE(std::regex_match(file, layout)) << file;
}
