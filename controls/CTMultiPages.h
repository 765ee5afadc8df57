#pragma once

#include "base/Settings.h"

#include <QRect>
#include <QWidget>
#include <array>
#include <vector>

class CPageHostLink;

// The row of page-number boxes under a device list: the first and last page,
// the current page with its neighbours and "..." for the gaps, at most seven
// boxes. A click on another page's box makes it current and tells the owner.
class CTMultiPages : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBoxLimit = 7;
    static constexpr int kEllipsis = -1; // box page of a "..." box
    static constexpr int kBoxHeight = 24;
    static constexpr int kBoxGap = 3;
    static constexpr int kMinBoxWidth = 32;

    explicit CTMultiPages(QWidget* parent = nullptr);

    // Current page 1, page count 0, no hover or press; the owner receives the
    // page-change notice with ownerId as its first value.
    void ResetPager(CPageHostLink* owner, int ownerId);
    // Stores both; a current page beyond the count becomes 1.
    void SetPagerPages(int currentPage, int pageCount);

    int CurrentPage() const { return m_currentPage; }
    int PageCount() const { return m_pageCount; }
    int HoveredBox() const { return m_hoveredBox; }

    // The pages the boxes show for current page c of n (kEllipsis for "...").
    static std::vector<int> ComputeBoxPages(int current, int count);
    // The box rectangles for the current state and size, in client coordinates.
    std::vector<QRect> BoxRects() const;
    std::vector<int> BoxPages() const;

signals:
    // Sent with every page-change notice (also when no owner is set).
    void pageChosen(int ownerId, int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    static QString BoxLabel(int page);
    int BoxAt(const QPoint& point) const;
    bool Choosable(int box) const;

    int m_currentPage = 1;
    int m_pageCount = -1;
    int m_hoveredBox = -1;
    int m_pressedBox = -1;
    ColorRef m_background = MakeColorRef(240, 240, 240);
    CPageHostLink* m_owner = nullptr;
    int m_ownerId = 0;
};
