#pragma once

#include "payload/BatchReport.h"
#include "payload/ProvisionWatch.h"
#include "payload/Submission.h"

#include <QString>
#include <map>
#include <set>
#include <string>
#include <vector>

class CSqlManagement;

// A modify page's "Keep provisioning new devices": after a submission with
// the switch on, every device that answers the segment's discovery for the
// first time gets the same payload (with a sheet: its own row; a device
// without a row is skipped), and a failed device that was unplugged and comes
// back is tried again (ProvisionWatch decides). One Round() per search
// interval: it sends the next discovery, takes the devices that answered the
// last one and starts their jobs through the screen link, without clearing
// the device table, so the statuses already shown stay. Messages of these
// unattended submissions never open a window: questions are answered as the
// operator answered the dialog's, other messages go to the diagnostic log and
// the status line. Every attempt is a row of the run's batch report, written
// when the station stops (or the page goes). Main thread only.
class CBenchStation {
public:
    explicit CBenchStation(CSqlManagement* store = nullptr) : m_store(store) {}
    ~CBenchStation();
    CBenchStation(const CBenchStation&) = delete;
    CBenchStation& operator=(const CBenchStation&) = delete;

    void SetStore(CSqlManagement* store) { m_store = store; }

    // Starts watching with the payload the dialog just submitted as the
    // batch submitted (its devices are in transfer already). With a sheet,
    // only devices with a row get the payload; false (and nothing runs) when
    // the sheet's rows cannot be read. A running station is stopped first.
    bool Start(const SubmissionInput& payload, const BatchReport& submitted);
    // Ends the run and writes its report (when any device was tried).
    void Stop();
    bool Running() const { return m_running; }

    // One search interval. Returns the MACs whose jobs it started now.
    std::vector<std::string> Round();

    // The devices that succeeded, failed and were skipped.
    std::size_t Count(ProvisionWatch::State state) const { return m_watch.Count(state); }
    // "Provisioning new devices: N provisioned, F failed, S skipped" (or the
    // last refusal's text, when the last round refused a device).
    QString StatusLine() const;
    const BatchReport& Report() const { return m_report; }

private:
    CSqlManagement& Store() const;
    void Follow();
    void StartNew(const std::vector<std::string>& macs);
    void StartAgain(const std::string& mac);
    void Track(const BatchReport& batch);
    void Refused(const std::string& mac, const std::string& why);

    CSqlManagement* m_store;
    bool m_running = false;
    SubmissionInput m_payload;
    ProvisionWatch m_watch;
    std::map<std::string, BatchRow> m_firstRows; // each device's first copy and files
    std::map<std::string, BatchReport> m_inFlight;
    std::set<std::string> m_ignored; // listed but left unticked when the run began
    BatchReport m_report;
    std::string m_lastRefusal;
};
