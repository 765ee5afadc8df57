#include "payload/DeviceParamsJson.h"

#include "base/FileUtil.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <optional>

namespace {

bool TextOf(const QJsonValue& v, const char* key, std::string& out, std::string& error) {
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
    error = std::string("\"") + key + "\" must be a string";
    return false;
}

template <std::size_t N>
bool Text(const QJsonObject& o, const char* key, char (&field)[N], bool& cut, std::string& error) {
    std::string t;
    if (!TextOf(o.value(QLatin1String(key)), key, t, error))
        return false;
    SetField(field, cut, t);
    return true;
}

template <std::size_t N>
bool List(const QJsonObject& o, const char* key, char (&fields)[10][N], bool (&cut)[10],
          std::string& error) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isArray() || v.toArray().size() > 10) {
        error = std::string("\"") + key + "\" must be an array of up to ten strings";
        return false;
    }
    const QJsonArray a = v.toArray();
    for (qsizetype j = 0; j < a.size(); ++j) {
        std::string t;
        if (!TextOf(a.at(j), key, t, error))
            return false;
        SetField(fields[j], cut[j], t);
    }
    return true;
}

} // namespace

bool DeviceParamsFromJson(const QJsonObject& o, DeviceParams& p, std::string& error) {
    ZeroDeviceParams(p);
    DeviceParamsOverflow& c = p.overflow;
    const QJsonValue count = o.value(QLatin1String("wanCount"));
    if (!count.isUndefined() && !count.isNull()) {
        const double d = count.toDouble(-1);
        if (!count.isDouble() || d < 0 || d > 10 || d != static_cast<int>(d)) {
            error = "\"wanCount\" must be a number from 0 to 10";
            return false;
        }
        p.wanCount = static_cast<int>(d);
    }
    return Text(o, "mac", p.mac, c.mac, error) && List(o, "wanName", p.wanName, c.wanName, error) &&
           List(o, "vid", p.vid, c.vid, error) && List(o, "pppUser", p.pppUser, c.pppUser, error) &&
           List(o, "pppPassword", p.pppPassword, c.pppPassword, error) &&
           Text(o, "ssid5g", p.ssid5g, c.ssid5g, error) &&
           Text(o, "wlanPsk5g", p.wlanPsk5g, c.wlanPsk5g, error) &&
           Text(o, "ssid24g", p.ssid24g, c.ssid24g, error) &&
           Text(o, "wlanPsk24g", p.wlanPsk24g, c.wlanPsk24g, error) &&
           Text(o, "loid", p.loid, c.loid, error) &&
           Text(o, "loidPassword", p.loidPassword, c.loidPassword, error) &&
           Text(o, "loginPassword", p.loginPassword, c.loginPassword, error) &&
           Text(o, "ploamPassword", p.ploamPassword, c.ploamPassword, error);
}

bool ReadDeviceParamsFile(const std::string& path, bool wantArray,
                          std::vector<DeviceParams>& records, std::string& error) {
    records.clear();
    // Parameters for a few thousand devices stay far below this; a FIFO or a
    // device is refused rather than waited on or read without end.
    constexpr std::size_t kMaxParamsBytes = 16u << 20;
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxParamsBytes);
    if (!bytes) {
        error = "cannot read " + path + " (a regular file of at most 16 MiB)";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(*bytes), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = path + ": " + parseError.errorString().toStdString();
        return false;
    }
    QJsonArray items;
    if (wantArray) {
        if (!doc.isArray()) {
            error = path + ": expected an array of objects";
            return false;
        }
        items = doc.array();
    } else {
        if (!doc.isObject()) {
            error = path + ": expected an object";
            return false;
        }
        items.append(doc.object());
    }
    for (const QJsonValue& item : items) {
        if (!item.isObject()) {
            error = path + ": expected an array of objects";
            return false;
        }
        DeviceParams p;
        if (!DeviceParamsFromJson(item.toObject(), p, error)) {
            error = path + ": " + error;
            return false;
        }
        records.push_back(p);
    }
    return true;
}
