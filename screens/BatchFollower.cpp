#include "screens/BatchFollower.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "controls/CTStatic.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "screens/ScreenSeams.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

BatchFollower::~BatchFollower() {
    WriteOpen();
}

void BatchFollower::WriteOpen() {
    if (!m_open || m_store == nullptr)
        return;
    m_batch.Update(*m_store);
    m_batch.Write(GetProgramDirectory());
    m_open = false;
}

void BatchFollower::Begin(BatchReport batch) {
    WriteOpen();
    m_batch = std::move(batch);
    m_open = !m_batch.Empty();
}

std::optional<QString> BatchFollower::Poll() {
    if (!m_open || m_store == nullptr)
        return std::nullopt;
    m_batch.Update(*m_store);
    if (!m_batch.AllFinal())
        return std::nullopt;
    m_batch.Write(GetProgramDirectory());
    m_open = false;
    return QString::fromStdString(TranslateText(std::string("Batch done: %1 succeeded, %2 failed")))
        .arg(m_batch.SucceededCount())
        .arg(m_batch.FailedCount());
}

bool BatchFollower::RetryFailed(std::vector<std::string>& devices) {
    if (m_store == nullptr)
        return false;
    if (m_open)
        m_batch.Update(*m_store);
    const std::vector<BatchRow> rows = m_batch.FailedRows();
    if (rows.empty()) {
        ShowMessage(TranslateText(std::string("No failed device in the last batch!")),
                    MessageIcon::Exclamation, std::string());
        return false;
    }
    const std::string question =
        QString::fromStdString(
            TranslateText(std::string("Retry the %1 failed devices of the last batch?")))
            .arg(rows.size())
            .toStdString();
    if (ShowMessage(question, MessageIcon::Question, std::string()) != MessageAnswer::Ok)
        return false;
    ScreenLink& link = CurrentScreenLink();
    CParameterSubmission submission(*m_store, link.AdapterMac(),
                                    [&link](const TransferJob& job) { return link.StartJob(job); });
    SubmissionResult result;
    if (!submission.StartRetry(rows, result))
        return false;
    devices.clear();
    for (const BatchRow& row : rows)
        devices.push_back(row.mac);
    Begin(std::move(result.batch));
    return true;
}

void BatchFollower::ShowNotice(const QString& text, CTStatic* countArea) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (QSystemTrayIcon* tray : window->findChildren<QSystemTrayIcon*>()) {
            if (tray->isVisible()) {
                tray->showMessage(QStringLiteral("Quorvantix"), text);
                return;
            }
        }
    }
    if (countArea != nullptr) {
        countArea->setText(text);
        countArea->update();
    }
}
