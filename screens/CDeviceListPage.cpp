#include "screens/CDeviceListPage.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "controls/DialogUnits.h"
#include "controls/PageHostLink.h"
#include "controls/SkinStyle.h"
#include "records/CSqlManagement.h"
#include "screens/BenchStation.h"
#include "screens/ProgressCell.h"
#include "shell/SkinPaths.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

QString Tr(const char* text) {
    return TranslateText(QString::fromUtf8(text));
}

// Fills "%d" of a translated pattern with a number (the pattern comes from a
// language file, so it is never used as a format string).
QString FormatCount(const QString& pattern, int value) {
    QString text = pattern;
    const qsizetype at = text.indexOf(QStringLiteral("%d"));
    if (at >= 0)
        text.replace(at, 2, QString::number(value));
    return text;
}

QFont FontOf(const FontSpec& spec, const AppSettings& settings) {
    const std::string& face = spec.face.empty() ? settings.fontName : spec.face;
    return MakeSkinFont(QString::fromStdString(face.empty() ? std::string("Arial") : face),
                        spec.height, spec.weight);
}

// Draws each cell as usual and a horizontal line under it: the grid has
// horizontal lines only.
class LineDelegate : public QStyledItemDelegate {
public:
    LineDelegate(QObject* parent, QColor line) : QStyledItemDelegate(parent), m_line(line) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant check = index.data(Qt::CheckStateRole);
        if (index.column() == 0 && check.isValid()) {
            // The check box stands in the middle of its cell.
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
            opt.text.clear();
            QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
            QStyleOptionButton box;
            const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, opt.widget);
            const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, opt.widget);
            box.rect = QRect(option.rect.center() - QPoint(w / 2, h / 2), QSize(w, h));
            box.state = QStyle::State_Enabled |
                        (check.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
            style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, opt.widget);
        } else if (const QVariant progress = index.data(kProgressRole); progress.isValid()) {
            PaintProgressCell(painter, option, index, progress.toInt());
        } else {
            QStyledItemDelegate::paint(painter, option, index);
        }
        painter->save();
        painter->setPen(m_line);
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }

private:
    QColor m_line;
};

QLabel* MakeImageLabel(QWidget* parent, const QString& path, const QRect& rect) {
    auto* label = new QLabel(parent);
    const QImage image = LoadSkinImage(path);
    if (!image.isNull())
        label->setPixmap(QPixmap::fromImage(image));
    label->setScaledContents(true);
    label->setGeometry(rect);
    return label;
}

// A decoration at its image's own size, standing against `edge` on the given
// side of it and centred on it vertically. Without an image it takes no room.
QLabel* MakeFrameLabel(QWidget* parent, const QString& path, const QRect& edge, bool left) {
    auto* label = new QLabel(parent);
    const QImage image = LoadSkinImage(path);
    QSize size(0, edge.height());
    if (!image.isNull()) {
        label->setPixmap(QPixmap::fromImage(image));
        size = image.size();
    }
    const int x = left ? edge.left() - size.width() : edge.right() + 1;
    label->setGeometry(QRect(QPoint(x, edge.center().y() - size.height() / 2), size));
    return label;
}

} // namespace

CCheckHeader::CCheckHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSortIndicatorShown(true);
    setHighlightSections(false);
}

void CCheckHeader::SetChecked(bool checked) {
    m_checked = checked;
    viewport()->update();
}

void CCheckHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != 0)
        return;
    QStyleOptionButton box;
    const QSize indicator(style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this),
                          style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this));
    box.rect =
        QRect(rect.center() - QPoint(indicator.width() / 2, indicator.height() / 2), indicator);
    box.state = QStyle::State_Enabled | (m_checked ? QStyle::State_On : QStyle::State_Off);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);
}

CDeviceListPage::CDeviceListPage(int pageId, QWidget* parent, std::vector<ListColumn> columns,
                                 int fallbackSortKey, bool statusLayout, CSqlManagement* store)
    : CTPage(pageId, parent), m_columns(std::move(columns)), m_fallbackSortKey(fallbackSortKey),
      m_store(store) {
    const AppSettings& s = Settings();
    const DialogUnits& du = DialogUnits::Default();
    SetFillBackground(true, s.childBkColor);
    resize(du.Size(406, 362));

    // Grid.
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("deviceGrid"));
    m_grid->setGeometry(statusLayout ? du.Rect(7, 42, 389, 291) : du.Rect(7, 25, 389, 309));
    m_header = new CCheckHeader(m_grid);
    m_grid->setHorizontalHeader(m_header);
    m_grid->verticalHeader()->hide();
    m_grid->setColumnCount(static_cast<int>(m_columns.size()));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setShowGrid(false);
    m_grid->setWordWrap(false);
    m_grid->setFrameShape(QFrame::NoFrame);
    // The grid is reached by Tab; the arrows move the current row and Space
    // ticks it.
    m_grid->setFocusPolicy(Qt::StrongFocus);
    m_grid->setTabKeyNavigation(false);
    m_grid->setItemDelegate(new LineDelegate(m_grid, ToQColor(s.lineColor)));
    m_grid->setStyleSheet(
        QStringLiteral("QTableWidget { background-color: %1; border: none; }"
                       "QTableWidget::item:selected { background-color: %2; }"
                       "QHeaderView::section { background-color: %3; color: %4; border: none;"
                       " border-bottom: 1px solid %5; padding: 4px; }")
            .arg(ToQColor(s.childBkColor).name(), ToQColor(s.childBkColor).darker(108).name(),
                 ToQColor(s.gridTitleBkColor).name(), ToQColor(s.gridTitleTextColor).name(),
                 ToQColor(s.lineColor).name()));
    QStringList headers;
    for (const ListColumn& column : m_columns)
        headers << (column.header[0] ? Tr(column.header) : QString());
    m_grid->setHorizontalHeaderLabels(headers);
    m_header->setFont(FontOf(s.gridTitleFont, s));
    m_header->setDefaultAlignment(Qt::AlignCenter);
    m_header->setStretchLastSection(false);
    m_header->setSortIndicatorShown(true);
    for (int c = 0; c < static_cast<int>(m_columns.size()); ++c)
        m_grid->setColumnWidth(c, m_columns[static_cast<size_t>(c)].width);
    m_header->setFixedHeight(m_header->sizeHint().height());
    m_grid->viewport()->setMouseTracking(true);
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    connect(m_header, &QHeaderView::sectionClicked, this,
            [this](int column) { OnHeaderClicked(column); });
    connect(m_grid, &QTableWidget::cellClicked, this,
            [this](int row, int column) { OnCellClicked(row + 1, column); });

    // Filter edit with its frame pictures.
    const QRect filterRect = statusLayout ? du.Rect(305, 25, 74, 14) : du.Rect(292, 6, 74, 14);
    m_pieLeft = MakeFrameLabel(this, Skin().pieLeft, filterRect, true);
    m_pieLeft->setObjectName(QStringLiteral("filterFrameLeft"));
    m_pieRight = MakeFrameLabel(this, Skin().pieRight, filterRect, false);
    m_pieRight->setObjectName(QStringLiteral("filterFrameRight"));
    m_filter = new CTEdit(this);
    m_filter->setObjectName(QStringLiteral("filterEdit"));
    m_filter->setGeometry(filterRect);
    connect(m_filter, &QLineEdit::textChanged, this,
            [this](const QString& text) { OnFilterChanged(text); });

    m_separator = MakeImageLabel(this, Skin().line, du.Rect(10, 337, 378, 1));

    m_count = new CTStatic(this);
    m_count->setObjectName(QStringLiteral("countText"));
    m_count->SetupStaticFromSettings(s);
    m_count->SetTextColor(s.staticTextNumberColor);
    m_count->setGeometry(du.Rect(104, 346, 142, 12));
    m_count->setText(FormatCount(Tr("Online device count:%d"), 0));

    m_refresh = new CTButtonPicture(this);
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_refresh->SetButtonImages(Skin().buttonUpdateNormal, Skin().buttonUpdateDown,
                               Skin().buttonUpdateDown, Skin().buttonUpdateNormal);
    m_refresh->setGeometry(du.Rect(88, 345, 10, 10));
    m_refresh->setCursor(Qt::PointingHandCursor);
    connect(m_refresh, &QPushButton::clicked, this, [this] { RefreshPage(); });

    m_pageSize = new QComboBox(this);
    m_pageSize->setGeometry(du.Rect(45, 344, 36, 14));
    m_pageSize->addItem(QStringLiteral("48"), kPageSize);
    m_pageSize->setCurrentIndex(0);
    m_pageSize->hide();
    connect(m_pageSize, &QComboBox::currentIndexChanged, this, [this] { OnPageSizeChanged(); });

    m_pageSizeLabel = new QLabel(Tr("Each page number"), this);
    m_pageSizeLabel->setGeometry(du.Rect(6, 346, 35, 12));
    m_pageSizeLabel->hide();

    m_pager = new CTMultiPages(this);
    m_pager->setGeometry(du.Rect(256, 345, 140, 14));
    m_pager->ResetPager(PageHostLink(), pageId);
    m_pager->hide();
    if (!PageHostLink())
        connect(m_pager, &CTMultiPages::pageChosen, this,
                [this](int, int page) { ShowListPage(page); });
}

CTButtonPicture* CDeviceListPage::MakePageButton(const char* text, const QRect& rect) {
    auto* button = new CTButtonPicture(this);
    button->SetButtonImages(Skin().buttonSearch, Skin().buttonSearch, Skin().buttonSearch,
                            Skin().buttonSearch);
    CTButtonPicture::SetupButton(*button, TranslateText(QString::fromUtf8(text)));
    button->setGeometry(rect);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

CSqlManagement& CDeviceListPage::Store() const {
    return m_store ? *m_store : *CSqlManagement::GetInstance();
}

ColorRef CDeviceListPage::StatusColor(int status, const AppSettings& settings) {
    switch (status) {
    case Operating:
    case TransmitFinish:
        return kBusyColor;
    case OperateSuccess:
        return settings.textOnlineColor;
    case OperateFail:
    case TransmitFail:
        return settings.textUnlineColor;
    default:
        return settings.gridTextColor;
    }
}

int CDeviceListPage::SortKeyFor(int column) const {
    if (column >= 0 && column < static_cast<int>(m_columns.size()) &&
        m_columns[static_cast<size_t>(column)].sortKey >= 0)
        return m_columns[static_cast<size_t>(column)].sortKey;
    return m_fallbackSortKey;
}

int CDeviceListPage::PageSizeValue() const {
    const QVariant value = m_pageSize->currentData();
    return value.isValid() ? value.toInt() : kPageSize;
}

QFont CDeviceListPage::CellFont() const {
    return FontOf(Settings().gridFont, Settings());
}

void CDeviceListPage::LoadList(int column, int page, bool ascending, const QString& filter) {
    const int pageSize = PageSizeValue();
    std::vector<ap_info_stu> records;
    DevicePage result =
        Store().LoadDevicePage(SortKeyFor(column), records, pageSize, page, ascending, filter);
    if (!result.ok) {
        records.clear();
        result.pageCount = 0;
        result.total = 0;
    }
    m_sortColumn = column;
    m_page = page;
    m_pageCount = result.pageCount;
    m_total = result.total;

    FillGrid(records, pageSize, page);
    m_sortOrder = ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    m_header->setSortIndicator(column, m_sortOrder);

    m_pager->SetPagerPages(page, result.pageCount);
    m_pager->update();
    m_count->setText(FormatCount(Tr("Online device count:%d"), result.total));
    m_count->update();
}

void CDeviceListPage::FillGrid(const std::vector<ap_info_stu>& records, int pageSize, int page) {
    m_grid->setUpdatesEnabled(false);
    m_grid->setRowCount(0);
    const int rowHeight = Settings().rowHeight > 0 ? Settings().rowHeight : kDefaultRowHeight;
    const ColorRef text = Settings().gridTextColor;
    for (const ap_info_stu& record : records) {
        const int r = m_grid->rowCount() + 1;
        const int serial = r + pageSize * (page - 1);
        m_grid->insertRow(r - 1);
        m_grid->setRowHeight(r - 1, rowHeight);
        SetCell(r, 0, QString(), text);
        SetCell(r, 1, QString::number(serial), text);
        SetCell(r, 2, QString::fromUtf8(record.mac, qstrnlen(record.mac, sizeof record.mac)), text);
        FillRecordCells(r, record);
        m_grid->item(r - 1, 0)->setData(Qt::CheckStateRole, Qt::Unchecked);
    }
    m_header->SetChecked(false);
    m_allChecked = false;
    m_grid->setUpdatesEnabled(true);
    m_grid->viewport()->update();
}

void CDeviceListPage::SetCell(int row, int column, const QString& text, ColorRef color) {
    QTableWidgetItem* item = m_grid->item(row - 1, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(Qt::AlignCenter);
        item->setFont(CellFont());
        m_grid->setItem(row - 1, column, item);
    }
    item->setText(text);
    item->setForeground(ToQColor(color));
}

void CDeviceListPage::RefreshPage() {
    {
        const QSignalBlocker block(m_filter);
        m_filter->setText(m_storedFilter);
    }
    m_filter->setCursorPosition(static_cast<int>(m_filter->text().size()));
    m_filter->setFocus();
    LoadList(m_sortColumn, m_page, !m_nextDirection, m_storedFilter);
}

void CDeviceListPage::AutoRefreshPage() {
    // A reload the operator did not ask for: what they were looking at, the
    // current row and the focus stay where they were.
    QWidget* focus = QApplication::focusWidget();
    const bool focusHere = focus && isAncestorOf(focus);
    const int scroll = m_grid->verticalScrollBar()->value();
    const int hscroll = m_grid->horizontalScrollBar()->value();
    const int row = m_grid->currentRow();
    const int column = m_grid->currentColumn();
    {
        const QSignalBlocker block(m_filter);
        const int caret = m_filter->cursorPosition();
        if (m_filter->text() != m_storedFilter)
            m_filter->setText(m_storedFilter);
        m_filter->setCursorPosition(qMin(caret, static_cast<int>(m_filter->text().size())));
    }
    LoadList(m_sortColumn, m_page, !m_nextDirection, m_storedFilter);
    if (row >= 0 && m_grid->rowCount() > 0)
        m_grid->setCurrentCell(qMin(row, m_grid->rowCount() - 1), qMax(column, 0),
                               QItemSelectionModel::ClearAndSelect);
    m_grid->verticalScrollBar()->setValue(scroll);
    m_grid->horizontalScrollBar()->setValue(hscroll);
    if (focusHere && focus->isVisible() && focus->isEnabled())
        focus->setFocus(Qt::OtherFocusReason);
}

void CDeviceListPage::ShowListPage(int page) {
    LoadList(m_sortColumn, page, !m_nextDirection, m_storedFilter);
}

void CDeviceListPage::CollectCheckedDevices() {
    m_selected.clear();
    for (int r = 1; r <= DataRowCount(); ++r) {
        if (RowChecked(r)) {
            std::string mac = CellText(r, 2).toStdString();
            if (mac.size() > 17)
                mac.resize(17); // the 18-byte element keeps 17 characters and the terminator
            m_selected.push_back(mac);
        }
    }
}

void CDeviceListPage::UpdateStatusCell(const std::string& macText, int column, int status,
                                       const TransferProgress* progress) {
    if (column < 0 || column >= m_grid->columnCount())
        return;
    const QString mac = QString::fromStdString(macText);
    for (int r = 1; r <= DataRowCount(); ++r) {
        if (CellText(r, 2) == mac) {
            SetStatusCell(r, column, status, progress ? *progress : TransferProgress{});
            m_grid->viewport()->update();
            return;
        }
    }
}

void CDeviceListPage::SetStatusCell(int row, int column, int status,
                                    const TransferProgress& progress) {
    SetCell(row, column, QString::fromStdString(StatusText(status)), StatusColor(status));
    QTableWidgetItem* item = m_grid->item(row - 1, column);
    // A bar once the file's length is known; the text stays the status's.
    if (status == Operating && progress.bytesTotal > 0)
        item->setData(kProgressRole, ProgressPercent(progress));
    else
        item->setData(kProgressRole, QVariant());
}

int CDeviceListPage::CellProgress(int row, int column) const {
    const QTableWidgetItem* item = m_grid->item(row - 1, column);
    const QVariant value = item ? item->data(kProgressRole) : QVariant();
    return value.isValid() ? value.toInt() : -1;
}

void CDeviceListPage::OnHeaderClicked(int column) {
    if (column == 0) {
        SetAllChecks(!m_allChecked);
        return;
    }
    if (column < 0 || column >= static_cast<int>(m_columns.size()) ||
        m_columns[static_cast<size_t>(column)].sortKey < 0) {
        // No ordering: the header has already moved its mark; put it back
        // where the last load put it.
        m_header->setSortIndicator(m_sortColumn, m_sortOrder);
        return;
    }
    LoadList(column, 1, m_nextDirection, m_storedFilter);
    m_nextDirection = !m_nextDirection;
}

void CDeviceListPage::SetAllChecks(bool checked) {
    for (int r = 1; r <= DataRowCount(); ++r)
        if (QTableWidgetItem* item = m_grid->item(r - 1, 0))
            item->setData(Qt::CheckStateRole, checked ? Qt::Checked : Qt::Unchecked);
    m_header->SetChecked(checked);
    m_allChecked = checked;
    m_header->setSortIndicator(m_sortColumn, m_sortOrder);
}

void CDeviceListPage::OnCellClicked(int row, int column) {
    if (row < 1 || row > DataRowCount() || column != 0)
        return;
    QTableWidgetItem* item = m_grid->item(row - 1, 0);
    if (!item)
        return;
    item->setData(Qt::CheckStateRole, RowChecked(row) ? Qt::Unchecked : Qt::Checked);
}

void CDeviceListPage::OnFilterChanged(const QString& text) {
    m_storedFilter = text;
    LoadList(m_sortColumn, 1, !m_nextDirection, m_storedFilter);
}

void CDeviceListPage::OnPageSizeChanged() {
    LoadList(m_sortColumn, 1, !m_nextDirection, m_storedFilter);
}

QString CDeviceListPage::CellText(int row, int column) const {
    const QTableWidgetItem* item = m_grid->item(row - 1, column);
    return item ? item->text() : QString();
}

QColor CDeviceListPage::CellTextColor(int row, int column) const {
    const QTableWidgetItem* item = m_grid->item(row - 1, column);
    return item ? item->foreground().color() : QColor();
}

bool CDeviceListPage::RowChecked(int row) const {
    const QTableWidgetItem* item = m_grid->item(row - 1, 0);
    return item && item->data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

void CDeviceListPage::SetListControlsEnabled(bool enabled) {
    m_filter->setEnabled(enabled);
    m_grid->setEnabled(enabled);
    m_pageSize->setEnabled(enabled);
}

bool CDeviceListPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        // Space ticks the current row, as a click on its check box does.
        if (m_grid->currentRow() >= 0)
            OnCellClicked(m_grid->currentRow() + 1, 0);
        return true;
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseMove) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        const bool hand =
            m_grid->rowAt(pos.y()) >= 0 && HandCursorColumn(m_grid->columnAt(pos.x()));
        m_grid->viewport()->setCursor(hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    return CTPage::eventFilter(watched, event);
}

void CDeviceListPage::CheckDevices(const std::vector<std::string>& macs) {
    for (int r = 1; r <= DataRowCount(); ++r) {
        const std::string mac = CellText(r, 2).toStdString();
        if (std::find(macs.begin(), macs.end(), mac) == macs.end())
            continue;
        if (QTableWidgetItem* item = m_grid->item(r - 1, 0))
            item->setData(Qt::CheckStateRole, Qt::Checked);
    }
}

void CDeviceListPage::StartBenchStation(CBenchStation& station, const SubmissionInput& payload,
                                        const BatchReport& submitted, QWidget* stopButton) {
    if (!station.Start(payload, submitted)) {
        ShowMessage(TranslateText(std::string(
                        "The sheet's rows cannot be read: new devices are not provisioned.")),
                    MessageIcon::Exclamation, std::string());
        return;
    }
    stopButton->show();
    m_count->setText(station.StatusLine());
}

void CDeviceListPage::FollowBenchStation(CBenchStation& station) {
    if (!station.Running())
        return;
    const std::vector<std::string> started = station.Round();
    if (!started.empty()) {
        for (const std::string& mac : started)
            if (std::find(m_selected.begin(), m_selected.end(), mac) == m_selected.end())
                m_selected.push_back(mac);
        // The new devices' rows, with the ticks of the run.
        AutoRefreshPage();
        CheckDevices(m_selected);
    }
    m_count->setText(station.StatusLine());
}
