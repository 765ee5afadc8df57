#pragma once

#include <chrono>
#include <functional>
#include <string>

// The operation log (Log/<date>/Success.txt and Fail.txt) and the diagnostic
// log (Log/diagnostic.log and stderr). One process-wide lock.

// type 1 = configuration verdict ("PARA_DATA"), anything else = logo ("LOG_DATA").
// Always returns true; a record that cannot be written is lost silently.
bool WriteOperationLog(const std::string& macText, bool success, int type);

// Appends text + CR LF to path, byte-exact. Empty text writes nothing: false.
bool AppendText(const std::string& text, const std::string& path);

// level 1 = "[ERROR]", otherwise "[INFO]".
void WriteDiagnostic(const char* functionSignature, int level, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#define QV_DIAGNOSTIC(level, ...)                                                                  \
    WriteDiagnostic(__PRETTY_FUNCTION__, (level), __LINE__, __VA_ARGS__)

// The clock the logs read; tests install a fixed one. nullptr restores the system clock.
using LogClock = std::function<std::chrono::system_clock::time_point()>;
void SetLogClock(LogClock clock);
