#pragma once

#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTEdit.h"
#include "controls/CTMultiPages.h"
#include "controls/CTPage.h"
#include "controls/CTStatic.h"
#include "records/DeviceRecord.h"
#include "records/TransferProgress.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include <set>
#include <string>
#include <vector>

class BatchReport;
class CBenchStation;
class CSqlManagement;
struct SubmissionInput;
class CTPicture;

// The header row of the device list: its column-0 cell carries a check box.
class CCheckHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CCheckHeader(QWidget* parent);
    void SetChecked(bool checked);
    bool IsChecked() const { return m_checked; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    bool m_checked = false;
};

// One column of a list page: header text (before translation), width in
// pixels and the SortKey a header click orders by (-1: the column does not order).
struct ListColumn {
    const char* header;
    int width;
    int sortKey;
};

// The machinery every device list page shares: the grid, the MAC filter, the
// refresh button, the hidden page-size chooser and page selector, the count
// text; loading one page of records from the store in the current order,
// the check boxes and the update of one row's status cell.
//
// Grid rows are counted as in the header-row grid they stand for: row 0 is
// the header, data rows are 1..DataRowCount().
class CDeviceListPage : public CTPage {
    Q_OBJECT
public:
    static constexpr int kPageSize = 48;
    static constexpr int kDefaultRowHeight = 48;
    // Text colour of the "Operating" and "TransmitFinish" cells.
    static constexpr ColorRef kBusyColor = MakeColorRef(28, 23, 255);

    // store: the record store (null: the process-wide one). statusLayout places
    // the grid and filter as the status page has them.
    CDeviceListPage(int pageId, QWidget* parent, std::vector<ListColumn> columns,
                    int fallbackSortKey, bool statusLayout, CSqlManagement* store);

    void LoadList(int column, int page, bool ascending, const QString& filter);
    void RefreshPage() override;
    // The host's periodic reload: as RefreshPage, but the scroll position,
    // the current row and the focus stay.
    void AutoRefreshPage() override;
    void ShowListPage(int page) override;
    void CollectCheckedDevices();
    // Sets the status cell of the MAC's row; an Operating file with a known
    // length (progress) is drawn as a progress bar.
    void UpdateStatusCell(const std::string& macText, int column, int status,
                          const TransferProgress* progress = nullptr);

    // The events of the page, as the controls deliver them.
    void OnHeaderClicked(int column);
    void OnCellClicked(int row, int column);
    void OnFilterChanged(const QString& text);
    void OnPageSizeChanged();

    // The text colour of a status cell.
    static ColorRef StatusColor(int status, const AppSettings& settings = Settings());

    QTableWidget* Grid() const { return m_grid; }
    CCheckHeader* Header() const { return m_header; }
    CTEdit* FilterEdit() const { return m_filter; }
    CTStatic* CountText() const { return m_count; }
    CTButtonPicture* RefreshButton() const { return m_refresh; }
    QComboBox* PageSizeChooser() const { return m_pageSize; }
    QLabel* PageSizeLabel() const { return m_pageSizeLabel; }
    CTMultiPages* Pager() const { return m_pager; }

    int DataRowCount() const { return m_grid->rowCount(); }
    QString CellText(int row, int column) const;
    QColor CellTextColor(int row, int column) const;
    bool RowChecked(int row) const;
    // The percent a status cell's bar shows; -1 when it is drawn as text.
    int CellProgress(int row, int column) const;
    bool AllChecked() const { return m_allChecked; }
    int SortColumn() const { return m_sortColumn; }
    bool NextDirection() const { return m_nextDirection; }
    int CurrentListPage() const { return m_page; }
    int Total() const { return m_total; }
    QString StoredFilter() const { return m_storedFilter; }
    const std::vector<std::string>& SelectedDevices() const { return m_selected; }
    bool HandCursorColumn(int column) const { return m_handColumns.count(column) != 0; }
    // The SortKey a load by this column uses.
    int SortKeyFor(int column) const;

protected:
    // Fills the page-specific cells (columns 3 and up) of data row `row`.
    virtual void FillRecordCells(int row, const ap_info_stu& record) = 0;
    void SetCell(int row, int column, const QString& text, ColorRef color);
    void SetStatusCell(int row, int column, int status, const TransferProgress& progress);
    void SetHandColumns(std::set<int> columns) { m_handColumns = std::move(columns); }
    // A picture button of the page's own row of buttons: the search-button
    // skin, the translated caption, the hand cursor, placed at rect.
    CTButtonPicture* MakePageButton(const char* text, const QRect& rect);
    // The modify pages' "Keep provisioning new devices": starts the station
    // with the dialog's payload after its batch (a refusal is told), shows
    // stopButton while it runs; FollowBenchStation runs one of its rounds on
    // the page's timer: the devices it started are ticked, followed like the
    // page's own batch, and the count area tells the run's figures.
    void StartBenchStation(CBenchStation& station, const SubmissionInput& payload,
                           const BatchReport& submitted, QWidget* stopButton);
    void FollowBenchStation(CBenchStation& station);
    // Ticks the rows of these devices on the page shown.
    void CheckDevices(const std::vector<std::string>& macs);
    // Enables or disables what a running search locks.
    void SetListControlsEnabled(bool enabled);
    CSqlManagement& Store() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

    std::vector<std::string> m_selected;
    QString m_storedFilter;

private:
    void FillGrid(const std::vector<ap_info_stu>& records, int pageSize, int page);
    void SetAllChecks(bool checked);
    int PageSizeValue() const;
    QFont CellFont() const;

    std::vector<ListColumn> m_columns;
    int m_fallbackSortKey;
    CSqlManagement* m_store;
    std::set<int> m_handColumns;

    QTableWidget* m_grid = nullptr;
    CCheckHeader* m_header = nullptr;
    CTEdit* m_filter = nullptr;
    QLabel* m_pieLeft = nullptr;
    QLabel* m_pieRight = nullptr;
    QLabel* m_separator = nullptr;
    CTStatic* m_count = nullptr;
    CTButtonPicture* m_refresh = nullptr;
    QComboBox* m_pageSize = nullptr;
    QLabel* m_pageSizeLabel = nullptr;
    CTMultiPages* m_pager = nullptr;

    int m_sortColumn = 2;
    bool m_nextDirection = true;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder; // of the last load
    int m_page = 1;
    int m_pageCount = 0;
    int m_total = 0;
    bool m_allChecked = false;
};
