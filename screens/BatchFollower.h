#pragma once

#include "payload/BatchReport.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

class CSqlManagement;
class CTStatic;
class QWidget;

// A modify page's last batch: followed on the page's timer until every job
// is final, then written to its report and announced; written with the
// statuses as they stand when the page goes (the program ends) before that.
// Also what "Retry failed" sends again. Main thread only.
class BatchFollower {
public:
    explicit BatchFollower(CSqlManagement* store = nullptr) : m_store(store) {}
    ~BatchFollower();
    BatchFollower(const BatchFollower&) = delete;
    BatchFollower& operator=(const BatchFollower&) = delete;

    // The store the batches run on (the page's); set before Begin.
    void SetStore(CSqlManagement* store) { m_store = store; }
    // Starts following batch; an open earlier batch is written first.
    void Begin(BatchReport batch);
    bool Open() const { return m_open; }
    const BatchReport& Last() const { return m_batch; }

    // Updates the open batch; once every job is final, writes its report and
    // returns "Batch done: N succeeded, M failed".
    std::optional<QString> Poll();

    // "Retry failed": asks "Retry the N failed devices of the last batch?"
    // and on OK starts them again with the same files through the screen
    // link; devices receives their MACs. False when there was nothing to
    // send (told), the operator cancelled or the retry was refused.
    bool RetryFailed(std::vector<std::string>& devices);

    // Shows the notice as a tray message when the program has a visible
    // tray icon, else as the count area's text.
    static void ShowNotice(const QString& text, CTStatic* countArea);

private:
    void WriteOpen();

    CSqlManagement* m_store;
    BatchReport m_batch;
    bool m_open = false;
};
