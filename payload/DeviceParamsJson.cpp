#include "payload/DeviceParamsJson.h"

#include "base/FileUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <algorithm>
#include <map>
#include <optional>

namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;

bool TextOf(const QJsonValue& v, const QString& key, std::string& out, std::string& error) {
    if (v.isUndefined() || v.isNull()) {
        out.clear();
        return true;
    }
    if (v.isString()) {
        out = v.toString().toStdString();
        return true;
    }
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == static_cast<double>(static_cast<long long>(d)))
            out = std::to_string(static_cast<long long>(d));
        else
            out = QString::number(d).toStdString();
        return true;
    }
    error = "\"" + key.toStdString() + "\" must be a string";
    return false;
}

// Where one key's value goes.
struct Target {
    char* field = nullptr; // a text field
    std::size_t width = 0;
    bool* cut = nullptr;
    int wanIndex = -1; // 0..9 for a numbered WAN column
    // An array key of the older form: ten fields of one kind.
    char* listFields = nullptr;
    bool* listCut = nullptr;
};

template <std::size_t N> Target TextTarget(char (&field)[N], bool& cut, int wanIndex = -1) {
    Target t;
    t.field = field;
    t.width = N;
    t.cut = &cut;
    t.wanIndex = wanIndex;
    return t;
}

template <std::size_t N> Target ListTarget(char (&fields)[10][N], bool (&cut)[10]) {
    Target t;
    t.listFields = &fields[0][0];
    t.width = N;
    t.listCut = cut;
    return t;
}

std::map<QString, Target> Targets(DeviceParams& p) {
    DeviceParamsOverflow& c = p.overflow;
    std::map<QString, Target> m;
    m[QStringLiteral("mac")] = TextTarget(p.mac, c.mac);
    for (int j = 0; j < 10; ++j) {
        const QString n = QString::number(j + 1);
        m[QStringLiteral("WanName") + n] = TextTarget(p.wanName[j], c.wanName[j], j);
        m[QStringLiteral("vid") + n] = TextTarget(p.vid[j], c.vid[j], j);
        m[QStringLiteral("pppUser") + n] = TextTarget(p.pppUser[j], c.pppUser[j], j);
        m[QStringLiteral("pppPassword") + n] = TextTarget(p.pppPassword[j], c.pppPassword[j], j);
    }
    for (const char* key : {"ssid_5g", "ssid5g"})
        m[QLatin1String(key)] = TextTarget(p.ssid5g, c.ssid5g);
    for (const char* key : {"wlanPsk_5g", "wlanPsk5g"})
        m[QLatin1String(key)] = TextTarget(p.wlanPsk5g, c.wlanPsk5g);
    for (const char* key : {"ssid_2.4g", "ssid24g"})
        m[QLatin1String(key)] = TextTarget(p.ssid24g, c.ssid24g);
    for (const char* key : {"wlanPsk_2.4g", "wlanPsk24g"})
        m[QLatin1String(key)] = TextTarget(p.wlanPsk24g, c.wlanPsk24g);
    m[QStringLiteral("loid")] = TextTarget(p.loid, c.loid);
    m[QStringLiteral("loidPassword")] = TextTarget(p.loidPassword, c.loidPassword);
    m[QStringLiteral("loginPassword")] = TextTarget(p.loginPassword, c.loginPassword);
    m[QStringLiteral("ploamPassword")] = TextTarget(p.ploamPassword, c.ploamPassword);
    m[QStringLiteral("wanName")] = ListTarget(p.wanName, c.wanName);
    m[QStringLiteral("vid")] = ListTarget(p.vid, c.vid);
    m[QStringLiteral("pppUser")] = ListTarget(p.pppUser, c.pppUser);
    m[QStringLiteral("pppPassword")] = ListTarget(p.pppPassword, c.pppPassword);
    return m;
}

void Store(char* field, std::size_t width, bool* cut, const std::string& text) {
    *cut = CopyToField(field, width, text);
}

} // namespace

bool DeviceParamsFromJson(const QJsonObject& o, DeviceParams& p, std::string& error) {
    ZeroDeviceParams(p);
    const std::map<QString, Target> targets = Targets(p);
    int highestWan = 0;
    bool countGiven = false;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        if (key == QLatin1String("wanCount")) {
            if (v.isUndefined() || v.isNull())
                continue;
            const double d = v.toDouble(-1);
            if (!v.isDouble() || d < 0 || d > 10 || d != static_cast<int>(d)) {
                error = "\"wanCount\" must be a number from 0 to 10";
                return false;
            }
            p.wanCount = static_cast<int>(d);
            countGiven = true;
            continue;
        }
        const auto target = targets.find(key);
        if (target == targets.end()) {
            error = "unknown key \"" + key.toStdString() + "\"";
            return false;
        }
        const Target& t = target->second;
        std::string text;
        if (t.field) {
            if (!TextOf(v, key, text, error))
                return false;
            Store(t.field, t.width, t.cut, text);
            if (t.wanIndex >= 0 && !v.isNull())
                highestWan = std::max(highestWan, t.wanIndex + 1);
            continue;
        }
        if (v.isUndefined() || v.isNull())
            continue;
        if (!v.isArray() || v.toArray().size() > 10) {
            error = "\"" + key.toStdString() + "\" must be an array of up to ten strings";
            return false;
        }
        const QJsonArray a = v.toArray();
        for (qsizetype j = 0; j < a.size(); ++j) {
            if (!TextOf(a.at(j), key, text, error))
                return false;
            const std::size_t k = static_cast<std::size_t>(j);
            Store(t.listFields + k * t.width, t.width, t.listCut + k, text);
        }
    }
    if (!countGiven)
        p.wanCount = highestWan;
    return true;
}

bool ReadDeviceParamsFile(const std::string& path, std::vector<DeviceParams>& records,
                          std::string& error) {
    records.clear();
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileBytes);
    if (!bytes) {
        error = path + ": cannot read this file (a regular file of at most 16 MiB is needed)";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = path + ": " + parseError.errorString().toStdString() + " at byte " +
                std::to_string(parseError.offset);
        return false;
    }
    QJsonArray items;
    if (doc.isArray()) {
        items = doc.array();
    } else if (doc.isObject()) {
        items.append(doc.object());
    } else {
        error = path + ": expected an object or an array of objects";
        return false;
    }
    std::vector<DeviceParams> out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items.at(i).isObject()) {
            error = path + ": item " + std::to_string(i + 1) + " is not an object";
            return false;
        }
        DeviceParams p;
        if (!DeviceParamsFromJson(items.at(i).toObject(), p, error)) {
            error =
                path + ": " + (doc.isArray() ? "item " + std::to_string(i + 1) + ": " : "") + error;
            return false;
        }
        out.push_back(p);
    }
    records = std::move(out);
    return true;
}
