#include "app/cli/PushPreview.h"

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "payload/CopyPreview.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

QJsonObject FileObject(const BatchFile& file) {
    QJsonObject object;
    object.insert(QStringLiteral("path"), JsonText(file.path));
    object.insert(QStringLiteral("bytes"), static_cast<qint64>(file.bytes));
    object.insert(QStringLiteral("sha256"), JsonText(file.sha256));
    return object;
}

std::string FileLine(const std::string& mac, const char* kind, const BatchFile& file) {
    return TsvField(mac) + "\t" + kind + "\t" + TsvField(file.path) + "\t" +
           std::to_string(file.bytes) + "\t" + file.sha256 + "\n";
}

} // namespace

int PrintDryRun(const BatchReport& batch, const std::string& templatePath, bool json,
                bool showSecrets) {
    int rc = kExitOk;
    std::string lines;
    QJsonArray array;
    for (const BatchRow& row : batch.Rows()) {
        QJsonObject item;
        item.insert(QStringLiteral("mac"), JsonText(row.mac));
        if (row.SendsLogo()) {
            lines += FileLine(row.mac, "logo", row.logo);
            item.insert(QStringLiteral("logo"), FileObject(row.logo));
        }
        if (row.SendsConfig()) {
            std::vector<EntryChange> changes;
            std::string error;
            if (row.config.bytes < 0) {
                std::fprintf(stderr, "push: %s: the copy %s could not be written\n",
                             row.mac.c_str(), row.config.path.c_str());
                rc = kExitFailed;
            } else if (!ChangedEntriesOfFiles(templatePath, row.config.path, changes, error)) {
                std::fprintf(stderr, "push: %s: %s: %s\n", row.mac.c_str(), row.config.path.c_str(),
                             error.c_str());
                rc = kExitFailed;
            }
            lines += FileLine(row.mac, "config", row.config);
            QJsonObject config = FileObject(row.config);
            QJsonArray changed;
            for (const EntryChange& change : changes) {
                const std::string was =
                    ShownValue(change.templateValue, change.secret, showSecrets);
                const std::string now = ShownValue(change.deviceValue, change.secret, showSecrets);
                lines += TsvField(row.mac) + "\tentry\t" + TsvField(change.name) + "\t" +
                         TsvField(was) + "\t" + TsvField(now) + "\n";
                QJsonObject entry;
                entry.insert(QStringLiteral("entry"), JsonText(change.name));
                entry.insert(QStringLiteral("template"), JsonText(was));
                entry.insert(QStringLiteral("device"), JsonText(now));
                changed.append(entry);
            }
            config.insert(QStringLiteral("changes"), changed);
            item.insert(QStringLiteral("config"), config);
        }
        array.append(item);
    }
    if (json)
        PrintJson(array);
    else
        std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
    return rc;
}

int CheckCopyFolder(const char* command, const std::string& folder) {
    struct stat st {};
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return kExitOk;
        return Refuse(std::string(command) + ": -o " + folder + ": " + std::strerror(errno));
    }
    if (S_ISLNK(st.st_mode))
        return Refuse(std::string(command) + ": -o " + folder +
                      ": a symbolic link; give the folder itself");
    if (!S_ISDIR(st.st_mode))
        return Refuse(std::string(command) + ": -o " + folder + ": not a folder");
    return kExitOk;
}
