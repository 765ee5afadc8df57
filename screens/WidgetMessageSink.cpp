#include "screens/WidgetMessageSink.h"

#include "base/Language.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace {

// The language file's text for a standard button, when it has one; otherwise
// the button keeps Qt's own (translated) text.
void TranslateButton(QMessageBox& box, QMessageBox::StandardButton which, const char* source) {
    QAbstractButton* button = box.button(which);
    const QString english = QString::fromLatin1(source);
    const QString text = TranslateText(english);
    if (button && !text.isEmpty() && text != english)
        button->setText(text);
}

void TranslateMessageBoxButtons(QMessageBox& box) {
    TranslateButton(box, QMessageBox::Ok, "OK");
    TranslateButton(box, QMessageBox::Cancel, "Cancel");
}

MessageAnswer ShowBox(const std::string& text, MessageIcon icon, const std::string& caption) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::None:
        break;
    }
    if (icon == MessageIcon::Question) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    TranslateMessageBoxButtons(box);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

} // namespace

MessageAnswer WidgetMessageSink::Show(const std::string& text, MessageIcon icon,
                                      const std::string& caption) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return icon == MessageIcon::Question ? MessageAnswer::Cancel : MessageAnswer::Ok;
    if (QThread::currentThread() == app->thread())
        return ShowBox(text, icon, caption);
    MessageAnswer answer = MessageAnswer::Cancel;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowBox(text, icon, caption); }, Qt::BlockingQueuedConnection);
    return answer;
}
