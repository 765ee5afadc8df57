#include "payload/BatchReport.h"

#include "base/FileUtil.h"
#include "base/SafeFile.h"
#include "link/TransmitFrame.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

// Files a batch sends are small (a logo, a configuration copy); anything
// larger is described as unreadable rather than read whole.
constexpr std::size_t kMaxDescribedBytes = 64u << 20;
constexpr std::size_t kMaxReportBytes = 64u << 20;
constexpr const char* kFormatName = "quorvantix-batch-report";
constexpr int kFormatVersion = 1;

// Status names as the program shows them untranslated, so a report reads
// the same whatever the operator's language.
const char* StatusName(int code) {
    static const char* const kNames[] = {"WaitOperate", "Operating",      "OperateSuccess",
                                         "OperateFail", "TransmitFinish", "TransmitFail"};
    return code >= 0 && code <= 5 ? kNames[code] : "";
}

bool IsFinalStatus(int status) {
    return status == OperateSuccess || status == OperateFail || status == TransmitFail;
}

bool IsFailStatus(int status) {
    return status == OperateFail || status == TransmitFail;
}

std::string TimeText(std::int64_t ms) {
    if (ms <= 0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(ms)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
        .toStdString();
}

std::string DurationText(const BatchRow& row) {
    if (row.startMs <= 0 || row.endMs < row.startMs)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(row.endMs - row.startMs) / 1000.0);
    return text;
}

std::string Join(const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += "; ";
        out += values[i];
    }
    return out;
}

// A quoted CSV field. A text a spreadsheet would take for a formula (a
// subscriber's value from the sheet may start with '=') gets a leading
// apostrophe, so opening a report never evaluates anything.
std::string CsvField(const std::string& value) {
    std::string out = "\"";
    if (!value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string::npos)
        out += '\'';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

QJsonArray ToArray(const std::vector<std::string>& values) {
    QJsonArray array;
    for (const std::string& v : values)
        array.append(QString::fromStdString(v));
    return array;
}

std::vector<std::string> FromArray(const QJsonValue& value) {
    std::vector<std::string> out;
    for (const QJsonValue& v : value.toArray())
        out.push_back(v.toString().toStdString());
    return out;
}

std::string Text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}

std::int64_t Integer(const QJsonObject& o, const char* key) {
    return static_cast<std::int64_t>(o.value(QLatin1String(key)).toDouble());
}

QJsonValue StatusValue(bool sent, int code) {
    return sent ? QJsonValue(QString::fromLatin1(StatusName(code))) : QJsonValue();
}

int StatusCode(const QJsonValue& value) {
    const QString text = value.toString();
    for (int code = 0; code <= 5; ++code)
        if (text == QLatin1String(StatusName(code)))
            return code;
    return WaitOperate;
}

} // namespace

bool BatchRow::Final() const {
    return (!SendsLogo() || IsFinalStatus(logoStatus)) &&
           (!SendsConfig() || IsFinalStatus(configStatus));
}

bool BatchRow::Succeeded() const {
    return (!SendsLogo() || logoStatus == OperateSuccess) &&
           (!SendsConfig() || configStatus == OperateSuccess);
}

bool BatchRow::Failed() const {
    return (SendsLogo() && IsFailStatus(logoStatus)) ||
           (SendsConfig() && IsFailStatus(configStatus));
}

BatchReport::BatchReport() : started_(std::chrono::system_clock::now()) {}

BatchReport::BatchReport(std::chrono::system_clock::time_point started) : started_(started) {}

BatchFile BatchReport::DescribeFile(const std::string& path) {
    BatchFile file;
    file.path = path;
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxDescribedBytes);
    if (!bytes) {
        file.bytes = -1;
        return file;
    }
    file.bytes = static_cast<std::int64_t>(bytes->size());
    file.sha256 =
        QCryptographicHash::hash(QByteArray::fromStdString(*bytes), QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    return file;
}

void BatchReport::TakeIdentifyingValues(const DeviceParams& params, BatchRow& row) {
    // WAN connections up to the last one that carries a value, so positions stay.
    int used = 0;
    for (int i = 0; i < 10; ++i) {
        if (!FieldText(params.wanName[i]).empty() || !FieldText(params.vid[i]).empty() ||
            !FieldText(params.pppUser[i]).empty())
            used = i + 1;
    }
    row.wanNames.clear();
    row.vlanIds.clear();
    row.pppoeUsers.clear();
    for (int i = 0; i < used; ++i) {
        row.wanNames.emplace_back(FieldText(params.wanName[i]));
        row.vlanIds.emplace_back(FieldText(params.vid[i]));
        row.pppoeUsers.emplace_back(FieldText(params.pppUser[i]));
    }
    row.loid = std::string(FieldText(params.loid));
}

void BatchReport::Update(CSqlManagement& store) {
    for (BatchRow& row : rows_) {
        TransferProgress files[2];
        int count = 0;
        if (row.SendsLogo()) {
            row.logoStatus = store.GetLogStatus(row.mac);
            files[count++] = store.GetProgress(row.mac, TransferFile::Logo);
        }
        if (row.SendsConfig()) {
            row.configStatus = store.GetParaStatus(row.mac);
            files[count++] = store.GetProgress(row.mac, TransferFile::Config);
        }
        row.transmissions = row.retransmissions = 0;
        std::int64_t start = 0, end = 0;
        for (int i = 0; i < count; ++i) {
            row.transmissions += files[i].transmissions;
            row.retransmissions += files[i].retransmissions;
            if (files[i].startMs > 0 && (start == 0 || files[i].startMs < start))
                start = files[i].startMs;
            if (files[i].endMs > end)
                end = files[i].endMs;
        }
        if (start > 0)
            row.startMs = start;
        // The end is known once every file of the job is final.
        row.endMs = row.Final() ? end : 0;
    }
}

bool BatchReport::AllFinal() const {
    for (const BatchRow& row : rows_)
        if (!row.Final())
            return false;
    return true;
}

int BatchReport::SucceededCount() const {
    int n = 0;
    for (const BatchRow& row : rows_)
        n += row.Succeeded() ? 1 : 0;
    return n;
}

int BatchReport::FailedCount() const {
    return static_cast<int>(rows_.size()) - SucceededCount();
}

std::vector<BatchRow> BatchReport::FailedRows() const {
    std::vector<BatchRow> out;
    for (const BatchRow& row : rows_)
        if (row.Failed())
            out.push_back(row);
    return out;
}

std::string BatchReport::CsvText() const {
    static const char* const kHeader[] = {"MAC",
                                          "Kind",
                                          "Logo file",
                                          "Logo bytes",
                                          "Logo SHA-256",
                                          "Config file",
                                          "Config bytes",
                                          "Config SHA-256",
                                          "WAN names",
                                          "VLAN ids",
                                          "PPPoE users",
                                          "LOID",
                                          "Start",
                                          "End",
                                          "Duration (s)",
                                          "Transmissions",
                                          "Retransmissions",
                                          "Logo status",
                                          "Config status"};
    std::string out = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < std::size(kHeader); ++i)
        out += (i ? "," : "") + CsvField(kHeader[i]);
    out += "\r\n";
    const auto bytes = [](const BatchFile& f) {
        return f.path.empty() ? std::string() : std::to_string(f.bytes);
    };
    for (const BatchRow& row : rows_) {
        const std::string fields[] = {row.mac,
                                      std::to_string(row.kind),
                                      row.logo.path,
                                      bytes(row.logo),
                                      row.logo.sha256,
                                      row.config.path,
                                      bytes(row.config),
                                      row.config.sha256,
                                      Join(row.wanNames),
                                      Join(row.vlanIds),
                                      Join(row.pppoeUsers),
                                      row.loid,
                                      TimeText(row.startMs),
                                      TimeText(row.endMs),
                                      DurationText(row),
                                      std::to_string(row.transmissions),
                                      std::to_string(row.retransmissions),
                                      row.SendsLogo() ? StatusName(row.logoStatus) : "",
                                      row.SendsConfig() ? StatusName(row.configStatus) : ""};
        for (std::size_t i = 0; i < std::size(fields); ++i)
            out += (i ? "," : "") + CsvField(fields[i]);
        out += "\r\n";
    }
    return out;
}

std::string BatchReport::JsonText() const {
    QJsonArray devices;
    for (const BatchRow& row : rows_) {
        QJsonObject o;
        const auto file = [&](const char* prefix, const BatchFile& f) {
            const QString p = QLatin1String(prefix);
            o.insert(p + QStringLiteral("File"),
                     f.path.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(f.path)));
            o.insert(p + QStringLiteral("Bytes"),
                     f.path.empty() ? QJsonValue() : QJsonValue(static_cast<double>(f.bytes)));
            o.insert(p + QStringLiteral("Sha256"),
                     f.path.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(f.sha256)));
        };
        o.insert(QStringLiteral("mac"), QString::fromStdString(row.mac));
        o.insert(QStringLiteral("kind"), row.kind);
        file("logo", row.logo);
        file("config", row.config);
        o.insert(QStringLiteral("wanNames"), ToArray(row.wanNames));
        o.insert(QStringLiteral("vlanIds"), ToArray(row.vlanIds));
        o.insert(QStringLiteral("pppoeUsers"), ToArray(row.pppoeUsers));
        o.insert(QStringLiteral("loid"), QString::fromStdString(row.loid));
        o.insert(QStringLiteral("start"), QString::fromStdString(TimeText(row.startMs)));
        o.insert(QStringLiteral("end"), QString::fromStdString(TimeText(row.endMs)));
        o.insert(QStringLiteral("startMs"), static_cast<double>(row.startMs));
        o.insert(QStringLiteral("endMs"), static_cast<double>(row.endMs));
        const std::string duration = DurationText(row);
        o.insert(QStringLiteral("durationSeconds"),
                 duration.empty() ? QJsonValue() : QJsonValue(std::stod(duration)));
        o.insert(QStringLiteral("transmissions"), static_cast<double>(row.transmissions));
        o.insert(QStringLiteral("retransmissions"), static_cast<double>(row.retransmissions));
        o.insert(QStringLiteral("logoStatus"), StatusValue(row.SendsLogo(), row.logoStatus));
        o.insert(QStringLiteral("configStatus"), StatusValue(row.SendsConfig(), row.configStatus));
        devices.append(o);
    }
    QJsonObject top;
    top.insert(QStringLiteral("format"), QLatin1String(kFormatName));
    top.insert(QStringLiteral("version"), kFormatVersion);
    const auto startedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(started_.time_since_epoch()).count();
    top.insert(QStringLiteral("started"), QString::fromStdString(TimeText(startedMs)));
    top.insert(QStringLiteral("startedMs"), static_cast<double>(startedMs));
    top.insert(QStringLiteral("devices"), devices);
    return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}

bool BatchReport::Write(const std::string& programDirectory, std::string* jsonPath) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(started_);
    std::tm t{};
    localtime_r(&secs, &t);
    char day[48], clock[48];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    std::snprintf(clock, sizeof clock, "%02d%02d%02d", t.tm_hour, t.tm_min, t.tm_sec);
    const std::string dir = programDirectory + "Log/" + day + "/";
    if (!MakeFolders(dir))
        return false;
    // Two batches started in one second each keep their own pair of files.
    std::string base;
    std::error_code ec;
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate =
            dir + "batch-" + clock + (n > 1 ? "-" + std::to_string(n) : std::string());
        if (std::filesystem::symlink_status(candidate + ".json", ec).type() ==
                std::filesystem::file_type::not_found &&
            std::filesystem::symlink_status(candidate + ".csv", ec).type() ==
                std::filesystem::file_type::not_found) {
            base = candidate;
            break;
        }
    }
    if (base.empty())
        return false;
    if (!WriteWholeFile(base + ".csv", CsvText()) || !WriteWholeFile(base + ".json", JsonText()))
        return false;
    written_ = true;
    if (jsonPath != nullptr)
        *jsonPath = base + ".json";
    return true;
}

bool BatchReport::ReadJson(const std::string& path, BatchReport& report, std::string& error) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxReportBytes);
    if (!bytes) {
        error = "cannot read " + path;
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(*bytes), &parseError);
    const QJsonObject top = doc.object();
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() ||
        top.value(QStringLiteral("format")).toString() != QLatin1String(kFormatName) ||
        top.value(QStringLiteral("version")).toInt() != kFormatVersion ||
        !top.value(QStringLiteral("devices")).isArray()) {
        error = path + " is not a batch report";
        return false;
    }
    report = BatchReport(std::chrono::system_clock::time_point(
        std::chrono::milliseconds(Integer(top, "startedMs"))));
    for (const QJsonValue& value : top.value(QStringLiteral("devices")).toArray()) {
        const QJsonObject o = value.toObject();
        BatchRow row;
        row.mac = Text(o, "mac");
        row.kind = o.value(QStringLiteral("kind")).toInt();
        std::uint8_t mac[6];
        if (!ParseMacText(row.mac, mac) || row.kind < 1 || row.kind > 3) {
            error = path + " holds a device row without a MAC or kind";
            return false;
        }
        const auto file = [&](const char* prefix, BatchFile& f) {
            const std::string p = prefix;
            f.path = Text(o, (p + "File").c_str());
            f.bytes = Integer(o, (p + "Bytes").c_str());
            f.sha256 = Text(o, (p + "Sha256").c_str());
        };
        file("logo", row.logo);
        file("config", row.config);
        row.wanNames = FromArray(o.value(QStringLiteral("wanNames")));
        row.vlanIds = FromArray(o.value(QStringLiteral("vlanIds")));
        row.pppoeUsers = FromArray(o.value(QStringLiteral("pppoeUsers")));
        row.loid = Text(o, "loid");
        row.startMs = Integer(o, "startMs");
        row.endMs = Integer(o, "endMs");
        row.transmissions = static_cast<std::uint64_t>(Integer(o, "transmissions"));
        row.retransmissions = static_cast<std::uint64_t>(Integer(o, "retransmissions"));
        row.logoStatus = StatusCode(o.value(QStringLiteral("logoStatus")));
        row.configStatus = StatusCode(o.value(QStringLiteral("configStatus")));
        report.AddRow(std::move(row));
    }
    return true;
}
