#pragma once

#include "controls/CTDialog.h"
#include "payload/CopyPreview.h"

#include <string>
#include <vector>

class QListWidget;
class QTableWidget;

// What one device of a batch would receive.
struct DevicePreview {
    std::string mac;
    std::string logoPath;   // empty: no logo
    std::string configPath; // empty: no configuration
    std::vector<EntryChange> changes;
    std::string problem; // why the changes could not be shown, or empty
};

// The batch before it is sent: its devices in a list and, for the selected
// one, the template entries its copy changes (name, template value, device
// value; passwords and keys masked). Shows only; sends nothing.
class CBatchPreviewDlg : public CTDialog {
    Q_OBJECT
public:
    explicit CBatchPreviewDlg(std::vector<DevicePreview> devices, QWidget* parent = nullptr);

    QListWidget* DeviceList() const { return m_list; }
    QTableWidget* Changes() const { return m_changes; }

private:
    void ShowDevice(int row);

    std::vector<DevicePreview> m_devices;
    QListWidget* m_list = nullptr;
    QTableWidget* m_changes = nullptr;
};
