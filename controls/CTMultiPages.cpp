#include "controls/CTMultiPages.h"

#include "controls/DialogUnits.h"
#include "controls/PageHostLink.h"
#include "controls/SkinStyle.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

CTMultiPages::CTMultiPages(QWidget* parent) : QWidget(parent) {
    setFont(DialogUnits::DialogFont());
    setMouseTracking(true);
}

void CTMultiPages::ResetPager(CPageHostLink* owner, int ownerId) {
    m_currentPage = 1;
    m_pageCount = 0;
    m_hoveredBox = -1;
    m_pressedBox = -1;
    m_owner = owner;
    m_ownerId = ownerId;
    update();
}

void CTMultiPages::SetPagerPages(int currentPage, int pageCount) {
    m_currentPage = currentPage;
    m_pageCount = pageCount;
    if (m_currentPage > m_pageCount)
        m_currentPage = 1;
    update();
}

std::vector<int> CTMultiPages::ComputeBoxPages(int c, int n) {
    std::vector<int> pages;
    if (n <= 0)
        return pages;
    if (n <= kBoxLimit) {
        for (int i = 1; i <= n; ++i)
            pages.push_back(i);
        return pages;
    }
    pages.push_back(1);
    if (c <= 4)
        pages.insert(pages.end(), {2, 3, 4, 5, kEllipsis});
    else if (c < n - 3)
        pages.insert(pages.end(), {kEllipsis, c - 1, c, c + 1, kEllipsis});
    else
        pages.insert(pages.end(), {kEllipsis, n - 4, n - 3, n - 2, n - 1});
    pages.push_back(n);
    return pages;
}

std::vector<int> CTMultiPages::BoxPages() const {
    if (m_pageCount == -1)
        return {};
    return ComputeBoxPages(m_currentPage, m_pageCount);
}

QString CTMultiPages::BoxLabel(int page) {
    return page == kEllipsis ? QStringLiteral("...") : QString::number(page);
}

std::vector<QRect> CTMultiPages::BoxRects() const {
    const std::vector<int> pages = BoxPages();
    std::vector<QRect> rects;
    if (pages.empty())
        return rects;
    const QFontMetrics metrics(font());
    std::vector<int> widths;
    int row = 0;
    for (int page : pages) {
        const int w = qMax(kMinBoxWidth, metrics.horizontalAdvance(BoxLabel(page)) + 8);
        widths.push_back(w);
        row += w;
    }
    row += kBoxGap * static_cast<int>(pages.size() - 1);
    const int left = row < width() ? (width() - row) / 2 : 0;
    const int top = height() > kBoxHeight ? (height() - kBoxHeight) / 2 : 0;
    int x = left;
    for (size_t j = 0; j < widths.size(); ++j) {
        rects.emplace_back(x, top, widths[j], kBoxHeight);
        x += widths[j] + kBoxGap;
    }
    return rects;
}

void CTMultiPages::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_background));
    const std::vector<int> pages = BoxPages();
    const std::vector<QRect> rects = BoxRects();
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    for (size_t j = 0; j < pages.size(); ++j) {
        const QRect& r = rects[j];
        painter.setFont(font());
        if (pages[j] == kEllipsis) {
            painter.fillRect(r, Qt::white);
        } else if (pages[j] == m_currentPage) {
            painter.fillRect(r, Qt::white);
            painter.setFont(bold);
        } else {
            painter.setPen(QColor(136, 136, 136));
            painter.drawRect(r.adjusted(0, 0, -1, -1));
            const bool hovered = static_cast<int>(j) == m_hoveredBox;
            painter.fillRect(r.adjusted(1, 1, -1, -1),
                             hovered ? QColor(187, 187, 187) : QColor(Qt::white));
        }
        painter.setPen(Qt::black);
        painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, BoxLabel(pages[j]));
    }
}

int CTMultiPages::BoxAt(const QPoint& point) const {
    const std::vector<QRect> rects = BoxRects();
    for (size_t j = 0; j < rects.size(); ++j)
        if (rects[j].contains(point))
            return static_cast<int>(j);
    return -1;
}

bool CTMultiPages::Choosable(int box) const {
    const std::vector<int> pages = BoxPages();
    if (box < 0 || box >= static_cast<int>(pages.size()))
        return false;
    return pages[static_cast<size_t>(box)] != kEllipsis &&
           pages[static_cast<size_t>(box)] != m_currentPage;
}

void CTMultiPages::mouseMoveEvent(QMouseEvent* event) {
    const int box = BoxAt(event->position().toPoint());
    if (box != m_hoveredBox) {
        m_hoveredBox = box;
        update();
    }
    setCursor(box >= 0 && Choosable(box) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CTMultiPages::leaveEvent(QEvent*) {
    if (m_hoveredBox >= 0)
        update();
    m_hoveredBox = -1;
}

void CTMultiPages::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int box = BoxAt(event->position().toPoint());
    if (Choosable(box))
        m_pressedBox = box;
}

void CTMultiPages::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int box = BoxAt(event->position().toPoint());
    if (box < 0 || box != m_pressedBox || !Choosable(box))
        return;
    m_currentPage = BoxPages()[static_cast<size_t>(box)];
    update();
    if (m_owner)
        m_owner->OnPageChangeNotice(m_ownerId, m_currentPage);
    emit pageChosen(m_ownerId, m_currentPage);
}
