#include "screens/ProgressCell.h"

#include <QApplication>
#include <QBrush>
#include <QModelIndex>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

void PaintProgressCell(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index, int percent) {
    // The background as any cell has it, without the status text.
    QStyleOptionViewItem opt = option;
    opt.index = index;
    opt.text.clear();
    opt.features &= ~QStyleOptionViewItem::HasDisplay;
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    const QColor color = index.data(Qt::ForegroundRole).value<QBrush>().color();
    const int clamped = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    const QRect bar =
        option.rect.adjusted(6, option.rect.height() / 4, -6, -option.rect.height() / 4);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    QColor fill = color;
    fill.setAlpha(70);
    const int filled = bar.width() * clamped / 100;
    if (filled > 0)
        painter->fillRect(QRect(bar.left(), bar.top(), filled, bar.height()), fill);
    painter->setPen(color);
    painter->drawRect(bar.adjusted(0, 0, -1, -1));
    const QVariant font = index.data(Qt::FontRole);
    if (font.isValid())
        painter->setFont(font.value<QFont>());
    painter->drawText(bar, Qt::AlignCenter, QString::number(clamped) + QLatin1Char('%'));
    painter->restore();
}
