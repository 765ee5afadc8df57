#include "screens/BenchStation.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/OperationLog.h"
#include "base/ProgramDirectory.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"
#include "screens/ScreenSeams.h"

#include <algorithm>
#include <set>

namespace {

// The messages of a submission nobody watches: the operator answered the
// question once in the dialog, and a refusal must not stop the station
// behind a modal box. Each text goes to the diagnostic log.
class UnattendedSink : public MessageSink {
public:
    UnattendedSink() : previous_(SetMessageSink(this)) {}
    ~UnattendedSink() override { SetMessageSink(previous_); }
    UnattendedSink(const UnattendedSink&) = delete;
    UnattendedSink& operator=(const UnattendedSink&) = delete;

    MessageAnswer Show(const std::string& text, MessageIcon icon, const std::string&) override {
        if (icon == MessageIcon::Question)
            return MessageAnswer::Ok;
        QV_DIAGNOSTIC(1, "provisioning new devices: %s", text.c_str());
        if (first.empty())
            first = text;
        return MessageAnswer::Ok;
    }
    std::string first;

private:
    MessageSink* previous_;
};

} // namespace

CBenchStation::~CBenchStation() {
    Stop();
}

CSqlManagement& CBenchStation::Store() const {
    return m_store ? *m_store : *CSqlManagement::GetInstance();
}

bool CBenchStation::Start(const SubmissionInput& payload, const BatchReport& submitted) {
    Stop();
    std::vector<std::string> rows;
    if (!payload.sheetPath.empty() &&
        !CurrentParameterSheetBackend().SheetMacs(payload.sheetPath, rows))
        return false;
    m_payload = payload;
    m_payload.devices.clear();
    m_watch = payload.sheetPath.empty() ? ProvisionWatch() : ProvisionWatch(std::move(rows));
    m_firstRows.clear();
    m_inFlight.clear();
    m_report = BatchReport();
    m_lastRefusal.clear();

    // The submitted devices are in transfer; the devices the operator left
    // unticked on the list were left on purpose and stay out of the run.
    std::vector<std::string> submittedMacs;
    for (const BatchRow& row : submitted.Rows())
        submittedMacs.push_back(row.mac);
    m_watch.Round(submittedMacs);
    Track(submitted);
    m_ignored.clear();
    for (const std::string& mac : StoredDeviceMacs(Store()))
        if (std::find(submittedMacs.begin(), submittedMacs.end(), mac) == submittedMacs.end())
            m_ignored.insert(mac);
    ScreenLink& link = CurrentScreenLink();
    link.TakeAnsweredMacs();
    link.SendDiscovery();
    m_running = true;
    return true;
}

void CBenchStation::Stop() {
    if (!m_running)
        return;
    m_running = false;
    Follow();
    for (auto& [mac, batch] : m_inFlight)
        for (const BatchRow& row : batch.Rows())
            m_report.AddRow(row);
    m_inFlight.clear();
    if (!m_report.Empty())
        m_report.Write(GetProgramDirectory());
}

void CBenchStation::Follow() {
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        it->second.Update(Store());
        const BatchRow& row = it->second.Rows().front();
        if (!row.Final()) {
            ++it;
            continue;
        }
        m_watch.Finished(row.mac, row.Succeeded());
        m_report.AddRow(row);
        it = m_inFlight.erase(it);
    }
}

std::vector<std::string> CBenchStation::Round() {
    if (!m_running)
        return {};
    Follow();
    ScreenLink& link = CurrentScreenLink();
    std::vector<std::string> answered;
    for (std::string& mac : link.TakeAnsweredMacs())
        if (m_ignored.count(mac) == 0)
            answered.push_back(std::move(mac));
    const ProvisionWatch::Decision decision = m_watch.Round(answered);
    for (const std::string& mac : decision.skipped)
        QV_DIAGNOSTIC(0, "provisioning new devices: %s has no row in the sheet; left alone",
                      mac.c_str());
    std::vector<std::string> started;
    if (!decision.provision.empty())
        StartNew(decision.provision);
    for (const std::string& mac : decision.retry)
        StartAgain(mac);
    for (const std::vector<std::string>* list : {&decision.provision, &decision.retry})
        for (const std::string& mac : *list)
            if (m_inFlight.count(mac) != 0)
                started.push_back(mac);
    link.SendDiscovery();
    return started;
}

void CBenchStation::StartNew(const std::vector<std::string>& macs) {
    UnattendedSink sink;
    SubmissionInput input = m_payload;
    input.devices = macs;
    ParameterSheetBackend& sheet = CurrentParameterSheetBackend();
    sheet.SetBatch(macs);
    ScreenLink& link = CurrentScreenLink();
    CParameterSubmission submission(
        Store(), link.AdapterMac(), [&link](const TransferJob& job) { return link.StartJob(job); },
        &sheet);
    SubmissionResult result;
    if (submission.Prepare(input) == 0 || !submission.Start(macs, result)) {
        for (const std::string& mac : macs)
            Refused(mac, sink.first);
        return;
    }
    Track(result.batch);
}

void CBenchStation::StartAgain(const std::string& mac) {
    const auto first = m_firstRows.find(mac);
    if (first == m_firstRows.end()) {
        StartNew({mac}); // its first attempt was refused before a copy was made
        return;
    }
    UnattendedSink sink;
    ScreenLink& link = CurrentScreenLink();
    CParameterSubmission submission(Store(), link.AdapterMac(),
                                    [&link](const TransferJob& job) { return link.StartJob(job); });
    SubmissionResult result;
    if (!submission.StartRetry({first->second}, result)) {
        Refused(mac, sink.first);
        return;
    }
    Track(result.batch);
}

void CBenchStation::Track(const BatchReport& batch) {
    for (const BatchRow& row : batch.Rows()) {
        m_firstRows.emplace(row.mac, row);
        BatchReport one(batch.Started());
        one.AddRow(row);
        m_inFlight.insert_or_assign(row.mac, std::move(one));
    }
}

void CBenchStation::Refused(const std::string& mac, const std::string& why) {
    m_watch.Finished(mac, false);
    m_lastRefusal = mac + ": " + (why.empty() ? std::string("refused") : why);
}

QString CBenchStation::StatusLine() const {
    QString line = QString::fromStdString(
                       TranslateText(std::string(
                           "Provisioning new devices: %1 provisioned, %2 failed, %3 skipped")))
                       .arg(m_watch.Count(ProvisionWatch::State::Succeeded))
                       .arg(m_watch.Count(ProvisionWatch::State::Failed))
                       .arg(m_watch.Count(ProvisionWatch::State::Skipped));
    if (!m_lastRefusal.empty())
        line += QStringLiteral(" (") + QString::fromStdString(m_lastRefusal) + QStringLiteral(")");
    return line;
}
