#include "screens/WidgetMessageSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace {

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
