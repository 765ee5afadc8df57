#include "base/OperationLog.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "base/SafeFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// One lock for every log write of the process: each open, append and close is
// one indivisible step, so lines of concurrent writers never interleave.
std::mutex g_logLock;

std::mutex g_clockLock;
LogClock g_clock;

std::chrono::system_clock::time_point Now() {
    std::lock_guard<std::mutex> guard(g_clockLock);
    return g_clock ? g_clock() : std::chrono::system_clock::now();
}

struct LocalTime {
    std::tm tm{};
    int millis = 0;
};

LocalTime ToLocal(std::chrono::system_clock::time_point t) {
    LocalTime out;
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    localtime_r(&secs, &out.tm);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    if (ms < 0)
        ms += 1000;
    out.millis = static_cast<int>(ms);
    return out;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min<std::size_t>(n, sizeof buffer - 1));
}

// Appends bytes to path under the log lock; true when the file was opened and
// every byte written.
bool AppendBytes(const std::string& bytes, const std::string& path) {
    std::lock_guard<std::mutex> guard(g_logLock);
    return AppendToFile(path, bytes);
}

constexpr const char* kHeader = "MAC\t\t\tType\t\tDate\n";

} // namespace

void SetLogClock(LogClock clock) {
    std::lock_guard<std::mutex> guard(g_clockLock);
    g_clock = std::move(clock);
}

bool AppendText(const std::string& text, const std::string& path) {
    if (text.empty())
        return false;
    // The record goes through a 260-byte buffer: at most 257 bytes of text, then
    // CR LF and the terminator.
    std::string record = CutUtf8(text, 257);
    record += "\r\n";
    return AppendBytes(record, path);
}

bool WriteOperationLog(const std::string& macText, bool success, int type) {
    const LocalTime now = ToLocal(Now()); // one reading for the folder and the line
    const std::tm& t = now.tm;
    const std::string dir = GetProgramDirectory() + "Log/" +
                            Format("%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) +
                            "/";
    const std::string path = dir + (success ? "Success.txt" : "Fail.txt");
    const char* typeText = type == 1 ? "PARA_DATA" : "LOG_DATA";
    const std::string stamp = Format("%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                                     t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    const std::string line = macText + "\t" + typeText + "\t" + stamp + "\n";

    std::error_code ec;
    bool newFile;
    if (!std::filesystem::is_directory(dir, ec)) {
        MakeFolders(dir);
        newFile = true;
    } else {
        newFile = std::filesystem::symlink_status(path, ec).type() ==
                  std::filesystem::file_type::not_found;
    }
    if (newFile)
        AppendText(kHeader, path);
    AppendText(line, path);
    return true;
}

void WriteDiagnostic(const char* functionSignature, int level, int line, const char* format, ...) {
    const LocalTime now = ToLocal(Now());
    const std::tm& t = now.tm;
    std::string text = Format("[%04d-%02d-%02d %02d:%02d:%02d:%04d]", t.tm_year + 1900,
                              t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, now.millis);
    text += level == 1 ? "[ERROR]" : "[INFO]";
    text += Format("[ThreadID: %u]", static_cast<unsigned>(syscall(SYS_gettid)));
    text += "[";
    text += functionSignature ? functionSignature : "";
    text += ":" + std::to_string(line) + "]";

    if (format) {
        va_list args;
        va_start(args, format);
        va_list again;
        va_copy(again, args);
        const int n = std::vsnprintf(nullptr, 0, format, args);
        va_end(args);
        if (n > 0) {
            std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
            std::vsnprintf(buffer.data(), buffer.size(), format, again);
            text.append(buffer.data(), static_cast<std::size_t>(n));
        }
        va_end(again);
    }
    text += "\r\n";

    const std::string dir = GetProgramDirectory() + "Log/";
    MakeFolders(dir);
    AppendBytes(text, dir + "diagnostic.log");
    std::lock_guard<std::mutex> guard(g_logLock);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
