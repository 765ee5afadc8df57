#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a device's configuration copy changes from its template, for showing
// a batch before it is sent. Main thread or any thread: no shared state.

// One entry whose value differs between the template and the copy.
struct EntryChange {
    std::string name;          // the entry's Name, or "line N" for a line that is no entry
    std::string templateValue; // as the template has it
    std::string deviceValue;   // as the copy has it
    bool secret = false;       // a password or key (IsSecretEntry)
};

// What a secret value is shown as.
inline constexpr const char* kMaskedValue = "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2"; // •••

// Whether the entry holds a password or key: the entries the rewrite fills
// with one, and any other whose name speaks of a password, a PSK or a key.
bool IsSecretEntry(std::string_view name);

// The value to show: kMaskedValue for a secret unless showSecrets.
std::string ShownValue(const std::string& value, bool secret, bool showSecrets);

// Compares a copy with the template it was written from, line by line (the
// rewrite keeps every line and its position; line ends are not compared):
// every line whose entry value (or, for a line that is no entry, whose text)
// differs, in file order. False when the two have a different number of
// lines, so the copy cannot be a rewrite of this template.
bool ChangedEntries(std::string_view templateText, std::string_view copyText,
                    std::vector<EntryChange>& changes);

// The same on the two files, each read within the template's size limit.
// False with the reason in error ("the template cannot be read", "the copy
// cannot be read", "the copy does not match the template").
bool ChangedEntriesOfFiles(const std::string& templatePath, const std::string& copyPath,
                           std::vector<EntryChange>& changes, std::string& error);
