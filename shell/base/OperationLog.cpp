#include "shell/base/OperationLog.h"

#include <cstdarg>
#include <cstdio>

// Placeholder implementations; the log writer replaces them.

bool WriteOperationLog(const std::string&, bool, int) { return true; }

bool AppendText(const std::string& text, const std::string&) { return !text.empty(); }

void WriteDiagnostic(const char* functionSignature, int level, int line, const char* format, ...) {
    std::fprintf(stderr, "[%s][%s:%d]", level == 1 ? "ERROR" : "INFO", functionSignature, line);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
}

void SetLogClock(LogClock) {}
