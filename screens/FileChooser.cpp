#include "screens/FileChooser.h"

#include <QFileDialog>

#include <deque>

namespace {
std::deque<QString>& Answers() {
    static std::deque<QString> answers;
    return answers;
}
QString& LastFilter() {
    static QString filter;
    return filter;
}
} // namespace

namespace FileChooser {

QString GetOpenFileName(QWidget* parent, const QString& filter) {
    LastFilter() = filter;
    if (!Answers().empty()) {
        QString answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

void setNextFileName(const QString& path) {
    Answers().push_back(path);
}

QString lastFilter() {
    return LastFilter();
}

} // namespace FileChooser
