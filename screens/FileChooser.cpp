#include "screens/FileChooser.h"

#include "base/Language.h"

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
    // The language file carries the filters whole, in the same Qt form.
    const QString translated = TranslateText(filter);
    const QString shown = translated.isEmpty() ? filter : translated;
    LastFilter() = shown;
    if (!Answers().empty()) {
        QString answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    return QFileDialog::getOpenFileName(parent, QString(), QString(), shown);
}

void setNextFileName(const QString& path) {
    Answers().push_back(path);
}

QString lastFilter() {
    return LastFilter();
}

} // namespace FileChooser
