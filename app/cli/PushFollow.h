#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class BatchReport;
class CliProgress;
class CSqlManagement;

// How push follows a started batch.
struct FollowOptions {
    int waitSeconds = 60;
    bool events = false; // one JSON line per status or progress change on stdout
    // Shows "D done, F failed, T in transfer" while it follows (on a terminal).
    CliProgress* progress = nullptr;
};

// The event lines of --events: one JSON line on stdout
// {"device","file","status","bytes","total","time"} per file of the report's
// rows whose status or acknowledged bytes changed since the last Emit.
class BatchEvents {
public:
    void Emit(CSqlManagement& store, const BatchReport& report);

private:
    struct Seen {
        int status = -1;
        std::int64_t bytes = -1;
    };
    std::map<std::pair<std::string, int>, Seen> seen_;
};

// Follows the store every 100 ms until every row of the report is final, the
// wait ends or a stop signal arrived, keeping the report up to date. With
// events, each change of a file's status or acknowledged bytes is one line
// {"device","file","status","bytes","total","time"}. True when stopped by a
// signal (CatchStopSignals).
bool FollowBatch(CSqlManagement& store, BatchReport& report, const FollowOptions& options);

// Writes the report into the program folder and, with announce, names it on
// stderr ("<command>: report PATH (and .csv)"); false (after a message) when
// it could not be written.
bool WriteBatchReport(BatchReport& report, bool announce = true, const char* command = "push");
