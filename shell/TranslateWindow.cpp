#include "shell/TranslateWindow.h"

#include "base/Language.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>

namespace {

// The registry of handled widgets lives on the widgets themselves, so a new
// widget that happens to reuse a freed address is still translated.
constexpr const char* kTranslatedProperty = "qvTranslated";

constexpr int kMaxText = 1023;

bool TakeOnce(QWidget* widget) {
    if (widget->property(kTranslatedProperty).toBool())
        return false;
    widget->setProperty(kTranslatedProperty, true);
    return true;
}

bool KeepsItsContents(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QProgressBar*>(widget);
}

void TranslateComboItems(QComboBox* combo) {
    const int selected = combo->currentIndex();
    const QSignalBlocker quiet(combo);
    for (int i = 0; i < combo->count(); ++i) {
        const QVariant data = combo->itemData(i);
        const QString translated = TranslateText(combo->itemText(i));
        combo->removeItem(i);
        combo->insertItem(i, translated, data);
    }
    combo->setCurrentIndex(selected >= 0 && selected < combo->count() ? selected : -1);
}

QString Translatable(const QString& text) {
    if (text.isEmpty() || text == QStringLiteral("...") || text.size() > kMaxText)
        return {};
    return TranslateText(text);
}

void TranslateOwnText(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        const QString t = Translatable(button->text());
        if (!t.isEmpty())
            button->setText(t);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->textFormat() == Qt::RichText)
            return;
        const QString t = Translatable(label->text());
        if (!t.isEmpty())
            label->setText(t);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        const QString t = Translatable(group->title());
        if (!t.isEmpty())
            group->setTitle(t);
    }
}

} // namespace

void TranslateWindow(QWidget* dialog) {
    if (!dialog || !TakeOnce(dialog))
        return;
    const QString title = dialog->windowTitle();
    if (!title.isEmpty() && title.size() <= kMaxText) {
        const QString t = TranslateText(title);
        if (!t.isEmpty() && t != title)
            dialog->setWindowTitle(t);
    }
    const QList<QWidget*> descendants = dialog->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        if (!TakeOnce(widget))
            continue;
        if (KeepsItsContents(widget))
            continue;
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            TranslateComboItems(combo);
            continue; // a drop-down list has no text of its own to set
        }
        TranslateOwnText(widget);
    }
}

void TranslateMenu(QMenu* menu) {
    if (!menu)
        return;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const QString text = action->text();
        if (!text.isEmpty() && text.size() <= kMaxText) {
            const QString t = TranslateText(text);
            if (!t.isEmpty() && t != text)
                action->setText(t);
        }
        if (QMenu* sub = action->menu<QMenu*>())
            TranslateMenu(sub);
    }
}
