#pragma once

#include "payload/DeviceParams.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The configuration template: a text file of one <Value Name=".." Value=".."/>
// entry per line, grouped in tables. Both functions below work line by line on
// plain text (never an XML parser): a line ends at CR LF, LF or a lone CR.

// A template larger than this is refused when it is chosen.
inline constexpr std::int64_t kMaxTemplateBytes = 300000;

// Reads the template's own values into a zero-filled template record: WAN
// connections (closed by each "ChannelMode" entry), GPON identifiers, login
// password, and dualBand (1 when both "WLAN1_" and "WLAN_" occur). A value
// longer than its field is cut to fit and flagged in params.overflow.
// Returns false when the file cannot be read: missing, not a regular file, or
// larger than kMaxTemplateBytes.
bool ParseTemplateXml(const std::string& templatePath, DeviceParams& params);

// Same, on template bytes already in memory.
void ParseTemplateText(std::string_view text, DeviceParams& params);

// Writes the device's copy of the template to outputPath with the device's
// values in place of the template's. Replaced lines are exactly two spaces +
// the entry; every line written ends with CR LF. The result is built in memory
// and written in one piece. Returns false when the template cannot be opened
// (output untouched) or the output cannot be written (no partial file is left).
bool RewriteXml(const std::string& templatePath, const std::string& outputPath,
                const DeviceParams& device, int dualBand);

// The rewrite itself, on template bytes in memory.
std::string RewriteTemplateText(std::string_view text, const DeviceParams& device, int dualBand);

// <folder>/<MAC text without ':'>.xml; folder empty: <program folder>ModifyXml/.
std::string DeviceXmlPath(const std::string& macText, const std::string& folder = {});

// Makes the device's copy at DeviceXmlPath(macText, folder) and reports that path in
// outputPath. Any earlier copy is removed first, so a failed write never
// leaves an old file to be sent in its place. useSheet false: the template
// is copied unchanged and the result is true whatever the copy did. useSheet
// true: RewriteXml with the template record's dualBand; on failure shows
// "Modify New Xml file fail!" and returns false.
bool BuildDeviceXml(const std::string& templatePath, bool useSheet, const DeviceParams& device,
                    const std::string& macText, int dualBand, std::string& outputPath,
                    const std::string& folder = {});

// The chooser's test: shows "Xml file is not a regular file!" for a folder, FIFO
// or device, "Xml file cannot be larger than 300000 bytes!" when the file is
// larger than kMaxTemplateBytes, and returns false then.
bool CheckTemplateSize(const std::string& templatePath);

// The template's own values must reach the sheet whole: shows "The template's
// entry NAME is longer than N bytes!" (with its WAN connection for the WAN
// entries) for the first value ParseTemplateXml had to cut, and returns false
// then. N is the entry's field width without its terminator.
bool CheckTemplateValues(const DeviceParams& templateParams);

// Splits into lines. A line ends at CR LF, LF or a lone CR (the end itself is
// not part of the line). Text after the last line end is a last line of its
// own; a final line end adds none.
std::vector<std::string_view> SplitLines(std::string_view text);
