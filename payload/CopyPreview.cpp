#include "payload/CopyPreview.h"

#include "base/FileUtil.h"
#include "payload/ConfigXml.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace {

// The entries the rewrite fills with a password or a key.
constexpr std::array<std::string_view, 11> kSecretEntries{
    "GPON_PLOAM_PASSWD", "LOID_PASSWD_OLD", "LOID_PASSWD",   "SUSER_PASSWORD",
    "pppPasswd",         "WSC_PSK",         "WLAN1_WSC_PSK", "WLAN1_WPA_PSK",
    "WLAN_WPA_PSK",      "wscPsk",          "wpaPSK"};

struct Entry {
    std::string_view name;
    std::string_view value;
};

// <Value Name="NAME" Value="VALUE"/> as the template reader finds it: the
// value runs to the next "/> after it.
std::optional<Entry> ParseEntry(std::string_view line) {
    constexpr std::string_view kName = "<Value Name=\"";
    constexpr std::string_view kValue = "\" Value=\"";
    const std::size_t at = line.find(kName);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::size_t nameStart = at + kName.size();
    const std::size_t nameEnd = line.find(kValue, nameStart);
    if (nameEnd == std::string_view::npos)
        return std::nullopt;
    const std::size_t valueStart = nameEnd + kValue.size();
    const std::size_t close = line.find("\"/>", valueStart);
    if (close == std::string_view::npos)
        return std::nullopt;
    return Entry{line.substr(nameStart, nameEnd - nameStart),
                 line.substr(valueStart, close - valueStart)};
}

bool ContainsFolded(std::string_view text, std::string_view lowerPattern) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(lowerPattern) != std::string::npos;
}

} // namespace

bool IsSecretEntry(std::string_view name) {
    if (std::find(kSecretEntries.begin(), kSecretEntries.end(), name) != kSecretEntries.end())
        return true;
    return ContainsFolded(name, "passw") || ContainsFolded(name, "psk") ||
           ContainsFolded(name, "key");
}

std::string ShownValue(const std::string& value, bool secret, bool showSecrets) {
    return secret && !showSecrets ? std::string(kMaskedValue) : value;
}

bool ChangedEntries(std::string_view templateText, std::string_view copyText,
                    std::vector<EntryChange>& changes) {
    changes.clear();
    const std::vector<std::string_view> before = SplitLines(templateText);
    const std::vector<std::string_view> after = SplitLines(copyText);
    if (before.size() != after.size())
        return false;
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (before[k] == after[k])
            continue;
        const std::optional<Entry> was = ParseEntry(before[k]);
        const std::optional<Entry> now = ParseEntry(after[k]);
        if (was && now && was->name == now->name) {
            if (was->value == now->value)
                continue; // only the line's indentation changed
            changes.push_back(EntryChange{std::string(was->name), std::string(was->value),
                                          std::string(now->value), IsSecretEntry(was->name)});
            continue;
        }
        // Not a rewritten entry: the whole lines, masked when either names a secret.
        const bool secret = (was && IsSecretEntry(was->name)) || (now && IsSecretEntry(now->name));
        changes.push_back(EntryChange{"line " + std::to_string(k + 1), std::string(before[k]),
                                      std::string(after[k]), secret});
    }
    return true;
}

bool ChangedEntriesOfFiles(const std::string& templatePath, const std::string& copyPath,
                           std::vector<EntryChange>& changes, std::string& error) {
    changes.clear();
    const auto limit = static_cast<std::size_t>(kMaxTemplateBytes);
    const std::optional<std::string> before = ReadWholeFile(templatePath, limit);
    if (!before) {
        error = "the template cannot be read";
        return false;
    }
    // A rewritten copy adds at most two spaces and a line end per line.
    const std::optional<std::string> after = ReadWholeFile(copyPath, limit * 4 + 4096);
    if (!after) {
        error = "the copy cannot be read";
        return false;
    }
    if (!ChangedEntries(*before, *after, changes)) {
        error = "the copy does not match the template";
        return false;
    }
    return true;
}
