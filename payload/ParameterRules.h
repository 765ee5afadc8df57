#pragma once

#include "payload/DeviceParams.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

// The rules every per-device parameter must meet before anything is sent.
// Texts are tested as UTF-16: a character is one UTF-16 code unit.

// UTF-8 length as the rules count it: 1 below U+0080, 2 up to U+07FF, 3 from
// U+0800 (each half of a surrogate pair counts 3).
int Utf8Length(const QString& text);

// U+4E00..U+9FA5 and the 33 Chinese punctuation marks the SSID rule refuses.
bool IsChineseChar(char16_t unit);

// Number value as the rules read it: leading white space, an optional sign,
// the decimal digits that follow; 0 without digits. Saturates at the int range.
int NumberValue(std::string_view text);

bool IsValidPppUser(const QString& text);       // none of &`()|\<>;'" ; UTF-8 length 1..63
bool IsValidPppPassword(const QString& text);   // as pppUser; UTF-8 length 1..29
bool IsValidSsid(const QString& text);          // no Chinese, no space; UTF-8 length 1..32
bool IsValidWlanPsk(const QString& text);       // ASCII without \'" ; 8..63 characters
bool IsValidLoid(const QString& text);          // letters, digits, listed marks; UTF-8 <= 24
bool IsValidLoidPassword(const QString& text);  // letters, digits, .:-_/@ ; UTF-8 <= 12
bool IsValidPloamPassword(const QString& text); // as loidPassword; UTF-8 length 1..10
bool IsValidLoginPassword(const QString& text); // ASCII without space; 1..30 characters

// Tests every record in list order against the rules, with the template
// record deciding which WAN fields are present and wlanColumns whether the
// radio fields are. On the first failure shows its message (untranslated,
// empty caption, exclamation icon) and returns false. An empty list passes.
bool ValidateParameterRecords(const std::vector<DeviceParams>& records,
                              const DeviceParams& templateParams, bool wlanColumns);

// One record's first broken rule: its MAC, the sheet column ("vid1",
// "ssid_2.4g", ...) and the message ValidateParameterRecords would show.
struct ParameterRuleFailure {
    std::string mac;
    std::string column;
    std::string message;
};

// The same tests, without messages: the first failure of every record that
// breaks a rule, in list order. Empty when every record passes.
std::vector<ParameterRuleFailure>
FindParameterRuleFailures(const std::vector<DeviceParams>& records,
                          const DeviceParams& templateParams, bool wlanColumns);
