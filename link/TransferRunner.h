#pragma once

#include "link/SendFile.h"
#include "link/TransferJob.h"

#include <functional>
#include <string>

class CSqlManagement;
class VerdictGate;

// Runs one job to its end on the calling thread: the logo and/or the
// configuration file (kind 1 logo, 2 configuration, anything else both, logo
// first), each with a fresh frame template, writing status 4 or 5 per file
// into the store. deviceName is asked once per file, when its sending starts.
// With liveProgress the bytes acknowledged go into the store while a file is
// sent (at most every 100 ms per device) and at its end; the transmission
// counters of each file are added at its end either way. With a gate, each
// file is announced to it while it is sent, so the device's verdict on it
// counts (once its last chunk was acknowledged).
void RunTransferJob(const TransferJob& job, const std::function<std::string()>& deviceName,
                    CSqlManagement* store, const TransferTiming& timing = {},
                    bool liveProgress = true, VerdictGate* gate = nullptr);

// Writes TransmitFail for every file of the job (a job that never ran).
void MarkTransferJobFailed(const TransferJob& job, CSqlManagement* store);
