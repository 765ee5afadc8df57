#pragma once

#include <string>

class BatchReport;
class CSqlManagement;

// How push follows a started batch.
struct FollowOptions {
    int waitSeconds = 60;
    bool events = false; // one JSON line per status or progress change on stdout
};

// Catches SIGINT and SIGTERM from now on: a push told to stop ends its wait
// and still writes its report with the statuses as they stand.
void CatchStopSignals();

// Follows the store every 100 ms until every row of the report is final, the
// wait ends or a stop signal arrived, keeping the report up to date. With
// events, each change of a file's status or acknowledged bytes is one line
// {"device","file","status","bytes","total","time"}. True when stopped by a signal.
bool FollowBatch(CSqlManagement& store, BatchReport& report, const FollowOptions& options);

// Writes the report into the program folder and names it on stderr; false
// (after a message) when it could not be written.
bool WriteBatchReport(BatchReport& report);
