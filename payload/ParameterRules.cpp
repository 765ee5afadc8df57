#include "payload/ParameterRules.h"

#include "base/MessageSeam.h"
#include "base/Settings.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

int Utf8Length(const QString& text) {
    int n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        n += u < 0x80 ? 1 : (u < 0x800 ? 2 : 3);
    }
    return n;
}

bool IsChineseChar(char16_t u) {
    static constexpr char16_t kMarks[] = {
        0x3002, 0xFF1F, 0xFF01, 0xFF0C, 0x3001, 0xFF1B, 0xFF1A, 0x201C, 0x201D, 0x2018, 0x2019,
        0xFF08, 0xFF09, 0x300A, 0x300B, 0x3008, 0x3009, 0x3010, 0x3011, 0x300E, 0x300F, 0x300C,
        0x300D, 0xFE43, 0xFE44, 0x3014, 0x3015, 0x2026, 0x2014, 0xFF5E, 0xFE4F, 0xFFE5, 0x00B7};
    static_assert(std::size(kMarks) == 33);
    if (u >= 0x4E00 && u <= 0x9FA5)
        return true;
    return std::find(std::begin(kMarks), std::end(kMarks), u) != std::end(kMarks);
}

int NumberValue(std::string_view text) {
    return TextToInt(text);
}

namespace {

bool IsLetter(char16_t u) {
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}
bool IsDigit(char16_t u) {
    return u >= '0' && u <= '9';
}
bool IsOneOf(char16_t u, std::u16string_view set) {
    return set.find(u) != std::u16string_view::npos;
}

bool PppCharsOk(const QString& text) {
    for (QChar c : text) {
        if (IsOneOf(c.unicode(), u"&`()|\\<>;'\""))
            return false;
    }
    return true;
}

bool GponCharsOk(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!IsLetter(u) && !IsDigit(u) && !IsOneOf(u, u".:-_/@"))
            return false;
    }
    return true;
}

} // namespace

bool IsValidPppUser(const QString& text) {
    if (!PppCharsOk(text))
        return false;
    const int n = Utf8Length(text);
    return n >= 1 && n <= 63;
}

bool IsValidPppPassword(const QString& text) {
    if (!PppCharsOk(text))
        return false;
    const int n = Utf8Length(text);
    return n >= 1 && n <= 29;
}

bool IsValidSsid(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (IsChineseChar(c.unicode()) || c.unicode() == u' ')
            return false;
    }
    const int n = Utf8Length(text);
    return n >= 1 && n <= 32;
}

bool IsValidWlanPsk(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 0x7F || IsOneOf(u, u"\\'\""))
            return false;
    }
    return text.size() >= 8 && text.size() <= 63;
}

bool IsValidLoid(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!IsLetter(u) && !IsDigit(u) && !IsOneOf(u, u"`~!@#$%^&*()_+-=[]\\{}|;':\"<>,./"))
            return false;
    }
    return Utf8Length(text) <= 24;
}

bool IsValidLoidPassword(const QString& text) {
    return GponCharsOk(text) && Utf8Length(text) <= 12;
}

bool IsValidPloamPassword(const QString& text) {
    if (!GponCharsOk(text))
        return false;
    const int n = Utf8Length(text);
    return n >= 1 && n <= 10;
}

bool IsValidLoginPassword(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 0x7F || u == u' ')
            return false;
    }
    return text.size() >= 1 && text.size() <= 30;
}

namespace {

template <std::size_t N> QString Wide(const char (&field)[N]) {
    const std::string_view t = FieldText(field);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

// A rule's failure: kept in failure when the caller collects them, else shown.
void Refuse(ParameterRuleFailure* failure, const std::string& column, const std::string& text) {
    if (failure)
        *failure = ParameterRuleFailure{std::string(), column, text};
    else
        ShowMessage(text, MessageIcon::Exclamation, std::string());
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

bool ValidateRecord(const DeviceParams& r, const DeviceParams& t, bool wlanColumns,
                    ParameterRuleFailure* failure = nullptr) {
    const std::string macStr(FieldText(r.mac));
    const char* mac = macStr.c_str();
    const DeviceParamsOverflow& o = r.overflow;
    const int wanCount = std::clamp(r.wanCount, 0, 10);

    for (int j = 0; j < wanCount; ++j) {
        if (NumberValue(FieldText(t.vid[j])) != 0) {
            const int v = NumberValue(FieldText(r.vid[j]));
            if (o.vid[j] || v < 1 || v > 4094) {
                Refuse(failure, Format("vid%d", j + 1),
                       Format("The MAC:%s vid%d value:%d is invalid. Please check that the "
                              "following rules are met:VLAN ID must be an integer ranging from 1 "
                              "to 4094!",
                              mac, j + 1, v));
                return false;
            }
        }
        if (NumberValue(FieldText(t.channelMode[j])) == 2) {
            if (o.pppUser[j] || !IsValidPppUser(Wide(r.pppUser[j]))) {
                Refuse(failure, Format("pppUser%d", j + 1),
                       Format("The MAC:%s pppUser%d is invalid. Please check that the following "
                              "rules are met:userName must contain 1 to 63 characters, except "
                              "special characters &`()|\\<>;'\"",
                              mac, j + 1));
                return false;
            }
            if (o.pppPassword[j] || !IsValidPppPassword(Wide(r.pppPassword[j]))) {
                Refuse(failure, Format("pppPassword%d", j + 1),
                       Format("The MAC:%s pppPassword%d is invalid. Please check that the "
                              "following rules are met:must contain 1 to 29 characters, except "
                              "special characters &`()|\\<>;'\"",
                              mac, j + 1));
                return false;
            }
        }
    }

    if (wlanColumns) {
        const bool dual = t.dualBand == 1;
        if (dual && (o.ssid5g || !IsValidSsid(Wide(r.ssid5g)))) {
            Refuse(failure, "ssid_5g",
                   Format("The MAC:%s ssid_5g is invalid. Please check that the following rules "
                          "are met:ssid_5G must contain 1 to 32 UTF-8 bytes.except Chinese or "
                          "empty!",
                          mac));
            return false;
        }
        if (o.ssid24g || !IsValidSsid(Wide(r.ssid24g))) {
            Refuse(failure, "ssid_2.4g",
                   Format("The MAC:%s ssid_2.4g is invalid. Please check that the following rules "
                          "are met:ssid_2.4G must contain 1 to 32 UTF-8 bytes.except Chinese or "
                          "empty!",
                          mac));
            return false;
        }
        if (dual && (o.wlanPsk5g || !IsValidWlanPsk(Wide(r.wlanPsk5g)))) {
            Refuse(failure, "wlanPsk_5g",
                   Format("The MAC:%s wlanPsk_5g is invalid. Please check that the following "
                          "rules are met:wlanPsk_5G must contain 8 to 63 ASCII characters, except "
                          "special characters \\ ' \" ",
                          mac));
            return false;
        }
        if (o.wlanPsk24g || !IsValidWlanPsk(Wide(r.wlanPsk24g))) {
            Refuse(failure, "wlanPsk_2.4g",
                   Format("The MAC:%s wlanPsk_2.4g is invalid. Please check that the following "
                          "rules are met\xEF\xBC\x9AwlanPsk_2.4G must contain 8 to 63 ASCII "
                          "characters, except special characters \\ ' \" ",
                          mac));
            return false;
        }
    }

    if (o.loid || !IsValidLoid(Wide(r.loid))) {
        Refuse(failure, "loid",
               Format("The MAC:%s loidis is invalid. Please check that the following rules are "
                      "met\xEF\xBC\x9Aloid contains a maximum of 24 characters, including digits, "
                      "uppercase and lowercase letters, and special characters  "
                      "`~!@#$%%^&*()_+-=[]\\{}|;':\"<>,./",
                      mac));
        return false;
    }
    if (o.loidPassword || !IsValidLoidPassword(Wide(r.loidPassword))) {
        Refuse(failure, "loidPassword",
               Format("The MAC:%s loidPassword is invalid. Please check that the following rules "
                      "are met\xEF\xBC\x9Ato enter the loidPassword, you must first enter "
                      "loid;The 'loidPassword' support 12 characters, including digits, letters, "
                      "and special characters.:-_/@;",
                      mac));
        return false;
    }
    if (FieldText(r.loid).empty() && !FieldText(r.loidPassword).empty()) {
        Refuse(failure, "loidPassword",
               Format("The MAC:%s to set loidPassword, you must set loid first.", mac));
        return false;
    }
    if (!FieldText(r.ploamPassword).empty() &&
        (o.ploamPassword || !IsValidPloamPassword(Wide(r.ploamPassword)))) {
        Refuse(failure, "ploamPassword",
               Format("The MAC:%s ploamPassword is invalid. Please check that the following rules "
                      "are met\xEF\xBC\x9AploamPassword must contain 1 to 10 characters, "
                      "including digits, letters, and special characters .:-_/@",
                      mac));
        return false;
    }
    if (o.loginPassword || !IsValidLoginPassword(Wide(r.loginPassword))) {
        Refuse(failure, "loginPassword",
               Format("The MAC:%s loginPassword is invalid. Please check that the following rules "
                      "are met\xEF\xBC\x9AloginPassword must contain 1 to 30 ASCII characters "
                      "without spaces,not allowed blank space!",
                      mac));
        return false;
    }
    return true;
}

} // namespace

bool ValidateParameterRecords(const std::vector<DeviceParams>& records,
                              const DeviceParams& templateParams, bool wlanColumns) {
    for (const DeviceParams& r : records) {
        if (!ValidateRecord(r, templateParams, wlanColumns))
            return false;
    }
    return true;
}

std::vector<ParameterRuleFailure>
FindParameterRuleFailures(const std::vector<DeviceParams>& records,
                          const DeviceParams& templateParams, bool wlanColumns) {
    std::vector<ParameterRuleFailure> failures;
    for (const DeviceParams& r : records) {
        ParameterRuleFailure failure;
        if (!ValidateRecord(r, templateParams, wlanColumns, &failure)) {
            failure.mac = std::string(FieldText(r.mac));
            failures.push_back(std::move(failure));
        }
    }
    return failures;
}
