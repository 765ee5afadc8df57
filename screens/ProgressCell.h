#pragma once

#include <Qt>

class QModelIndex;
class QPainter;
class QStyleOptionViewItem;

// Item data of a status cell whose file is being sent: the whole percent
// (0..100) acknowledged. Cells without it are drawn as plain text.
inline constexpr int kProgressRole = Qt::UserRole + 16;

// Draws the cell as a progress bar in its text colour with the percentage
// in the middle, over the usual cell background.
void PaintProgressCell(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index, int percent);
