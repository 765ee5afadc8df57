#include "payload/ConfigXml.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "base/SafeFile.h"

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kClose = "\"/>";

// Every read of a template stops past the chooser's limit, so a file that
// grew after it was chosen is refused rather than read without bound.
constexpr std::size_t kMaxTemplateRead = static_cast<std::size_t>(kMaxTemplateBytes);

bool Contains(std::string_view line, std::string_view pattern) {
    return line.find(pattern) != std::string_view::npos;
}

// The text after pattern up to the next closing sequence; empty when the
// pattern is there but not closed. nullopt when the pattern is absent.
std::optional<std::string_view> ValueAfter(std::string_view line, std::string_view pattern) {
    std::size_t at = line.find(pattern);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t from = at + pattern.size();
    std::size_t close = line.find(kClose, from);
    if (close == std::string_view::npos)
        return std::string_view{};
    return line.substr(from, close - from);
}

} // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

void ParseTemplateText(std::string_view text, DeviceParams& p) {
    ZeroDeviceParams(p);
    bool seenWlan1 = false;
    bool seenWlan0 = false;
    bool inWanTable = false;
    DeviceParamsOverflow& o = p.overflow;

    for (std::string_view line : SplitLines(text)) {
        if (Contains(line, "WLAN1_"))
            seenWlan1 = true;
        if (Contains(line, "WLAN_"))
            seenWlan0 = true;

        if (auto v = ValueAfter(line, R"(<Value Name="GPON_PLOAM_PASSWD" Value=")")) {
            SetField(p.ploamPassword, o.ploamPassword, *v);
            continue;
        }
        if (auto v = ValueAfter(line, R"(<Value Name="LOID_PASSWD_OLD" Value=")")) {
            SetField(p.loidPassword, o.loidPassword, *v);
            continue;
        }
        if (auto v = ValueAfter(line, R"(<Value Name="LOID_OLD" Value=")")) {
            SetField(p.loid, o.loid, *v);
            continue;
        }
        if (auto v = ValueAfter(line, R"(<Value Name="SUSER_PASSWORD" Value=")")) {
            SetField(p.loginPassword, o.loginPassword, *v);
            continue;
        }

        if (Contains(line, "ATM_VC_TBL") && p.wanCount < 10)
            inWanTable = true;
        if (!inWanTable || p.wanCount >= 10)
            continue;
        const int j = p.wanCount;
        if (auto v = ValueAfter(line, R"(<Value Name="WanName" Value=")"))
            SetField(p.wanName[j], o.wanName[j], *v);
        else if (auto v = ValueAfter(line, R"(<Value Name="vid" Value=")"))
            SetField(p.vid[j], o.vid[j], *v);
        else if (auto v = ValueAfter(line, R"(<Value Name="pppPasswd" Value=")"))
            SetField(p.pppPassword[j], o.pppPassword[j], *v);
        else if (auto v = ValueAfter(line, R"(<Value Name="pppUser" Value=")"))
            SetField(p.pppUser[j], o.pppUser[j], *v);
        else if (auto v = ValueAfter(line, R"(<Value Name="ChannelMode" Value=")")) {
            SetField(p.channelMode[j], o.channelMode[j], *v);
            ++p.wanCount;
        }
    }
    p.dualBand = (seenWlan1 && seenWlan0) ? 1 : 0;
}

bool ParseTemplateXml(const std::string& templatePath, DeviceParams& params) {
    ZeroDeviceParams(params);
    std::optional<std::string> bytes = ReadWholeFile(templatePath, kMaxTemplateRead);
    if (!bytes)
        return false;
    ParseTemplateText(*bytes, params);
    return true;
}

namespace {

// One line of the rewrite: either kept or replaced by "  <Value Name="NAME"
// Value="field"/>".
class LineRewriter {
public:
    explicit LineRewriter(std::string_view line) : line_(line) {}

    // Replaces the line when it holds the entry NAME; true when it did.
    template <std::size_t N> bool Entry(std::string_view name, const char (&field)[N]) {
        if (done_)
            return false;
        if (!HasEntry(name))
            return false;
        replacement_ = "  <Value Name=\"";
        replacement_.append(name);
        replacement_ += "\" Value=\"";
        replacement_.append(FieldText(field));
        replacement_.append(kClose);
        done_ = true;
        return true;
    }

    bool HasEntry(std::string_view name) const {
        std::string pattern = "<Value Name=\"";
        pattern.append(name);
        pattern += "\" Value";
        return Contains(line_, pattern);
    }

    bool Done() const { return done_; }
    void AppendTo(std::string& out) const {
        if (done_)
            out += replacement_;
        else
            out.append(line_);
        out += "\r\n";
    }

private:
    std::string_view line_;
    std::string replacement_;
    bool done_ = false;
};

} // namespace

std::string RewriteTemplateText(std::string_view text, const DeviceParams& d, int dualBand) {
    int ssidCount = 0;
    int wpaCount = 0;
    bool inTable1 = false;
    bool seenTable1 = false;
    bool inTable0 = false;
    bool seenTable0 = false;
    bool inWanTable = false;
    int wanIndex = 0;
    const int wanCount = d.wanCount < 0 ? 0 : (d.wanCount > 10 ? 10 : d.wanCount);

    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (std::string_view line : SplitLines(text)) {
        LineRewriter r(line);

        // GPON and login entries.
        r.Entry("GPON_PLOAM_PASSWD", d.ploamPassword) ||
            r.Entry("LOID_PASSWD_OLD", d.loidPassword) || r.Entry("LOID_OLD", d.loid) ||
            r.Entry("LOID_PASSWD", d.loidPassword) || r.Entry("LOID", d.loid) ||
            r.Entry("SUSER_PASSWORD", d.loginPassword);

        // Radio entries. The first radio has no "WLAN1_" prefix: it is the
        // 5 GHz radio of a dual-band device, the only (2.4 GHz) radio otherwise.
        if (!r.Done() && dualBand == 1) {
            r.Entry("WSC_PSK", d.wlanPsk5g) || r.Entry("WLAN1_WSC_PSK", d.wlanPsk24g) ||
                r.Entry("WLAN1_WPA_PSK", d.wlanPsk24g) || r.Entry("WLAN1_SSID", d.ssid24g) ||
                r.Entry("WLAN_WPA_PSK", d.wlanPsk5g);
            if (!r.Done() && ssidCount == 0 && r.Entry("SSID", d.ssid5g))
                ++ssidCount;
            if (!r.Done()) {
                if (Contains(line, "WLAN1_MBSSIB_TBL") && !seenTable1)
                    inTable1 = seenTable1 = true;
                if (inTable1) {
                    r.Entry("wscPsk", d.wlanPsk24g) || r.Entry("ssid", d.ssid24g);
                    if (!r.Done() && r.Entry("wpaPSK", d.wlanPsk24g))
                        inTable1 = false;
                }
            }
            if (!r.Done()) {
                if (Contains(line, "WLAN_MBSSIB_TBL") && !seenTable0)
                    inTable0 = seenTable0 = true;
                if (inTable0) {
                    r.Entry("wscPsk", d.wlanPsk5g) || r.Entry("ssid", d.ssid5g);
                    if (!r.Done() && r.Entry("wpaPSK", d.wlanPsk5g))
                        inTable0 = false;
                }
            }
        } else if (!r.Done()) {
            if (ssidCount == 0 && r.Entry("ssid", d.ssid24g))
                ++ssidCount;
            if (!r.Done() && wpaCount == 0 && r.Entry("WLAN_WPA_PSK", d.wlanPsk24g))
                ++wpaCount;
            if (!r.Done()) {
                if (Contains(line, "WLAN_MBSSIB_TBL") && !seenTable0)
                    inTable0 = seenTable0 = true;
                if (inTable0) {
                    r.Entry("wscPsk", d.wlanPsk24g) || r.Entry("ssid", d.ssid24g);
                    if (!r.Done() && r.Entry("wpaPSK", d.wlanPsk24g))
                        inTable0 = false;
                }
            }
        }

        // WAN entries; connections beyond the device's count keep the template's values.
        if (!r.Done()) {
            if (Contains(line, "ATM_VC_TBL") && wanIndex < wanCount) {
                inWanTable = true;
                ++wanIndex;
            }
            if (inWanTable) {
                const int j = wanIndex - 1;
                r.Entry("vid", d.vid[j]) || r.Entry("pppPasswd", d.pppPassword[j]) ||
                    r.Entry("pppUser", d.pppUser[j]);
                if (!r.Done() && r.HasEntry("ChannelMode") && wanIndex == wanCount)
                    inWanTable = false;
            }
        }
        r.AppendTo(out);
    }
    return out;
}

bool RewriteXml(const std::string& templatePath, const std::string& outputPath,
                const DeviceParams& device, int dualBand) {
    std::optional<std::string> bytes = ReadWholeFile(templatePath, kMaxTemplateRead);
    if (!bytes)
        return false;
    const std::string out = RewriteTemplateText(*bytes, device, dualBand);

    // A new file renamed into place: a link planted at the name is replaced,
    // never written through, and a failed write leaves no partial copy.
    return WriteWholeFile(outputPath, out);
}

std::string DeviceXmlPath(const std::string& macText, const std::string& folder) {
    std::string name;
    for (char c : macText) {
        if (c != ':')
            name += c;
    }
    if (folder.empty())
        return GetProgramDirectory() + "ModifyXml/" + name + ".xml";
    return folder + (folder.back() == '/' ? "" : "/") + name + ".xml";
}

namespace {
// A MAC text that would lead the copy out of ModifyXml/ (or name no file).
bool IsUnsafeFileStem(const std::string& macText) {
    std::string stem;
    for (char c : macText) {
        if (c != ':')
            stem += c;
    }
    return stem.empty() || stem.find('/') != std::string::npos ||
           stem.find('\0') != std::string::npos || stem == "." || stem == "..";
}
} // namespace

bool BuildDeviceXml(const std::string& templatePath, bool useSheet, const DeviceParams& device,
                    const std::string& macText, int dualBand, std::string& outputPath,
                    const std::string& folder) {
    outputPath = DeviceXmlPath(macText, folder);
    if (IsUnsafeFileStem(macText)) {
        if (useSheet) {
            ShowMessage(TranslateText(std::string("Modify New Xml file fail!")),
                        MessageIcon::Exclamation);
            return false;
        }
        return true;
    }

    std::error_code ec;
    std::filesystem::remove(outputPath, ec);

    if (!useSheet) {
        if (std::optional<std::string> bytes = ReadWholeFile(templatePath, kMaxTemplateRead))
            WriteWholeFile(outputPath, *bytes);
        return true;
    }
    if (!RewriteXml(templatePath, outputPath, device, dualBand)) {
        ShowMessage(TranslateText(std::string("Modify New Xml file fail!")),
                    MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CheckTemplateSize(const std::string& templatePath) {
    if (OpenedFileKind(templatePath) == FileKind::Other) {
        ShowMessage(TranslateText(std::string("Xml file is not a regular file!")),
                    MessageIcon::Exclamation);
        return false;
    }
    if (GetFileSize(templatePath) > kMaxTemplateBytes) {
        ShowMessage(TranslateText(std::string("Xml file cannot be larger than 300000 bytes!")),
                    MessageIcon::Exclamation);
        return false;
    }
    return true;
}

namespace {
template <std::size_t N>
bool RefuseCut(bool cut, const char (&)[N], const char* entry, int wan = 0) {
    if (!cut)
        return false;
    std::string text = "The template's entry ";
    text += entry;
    if (wan > 0)
        text += " of WAN connection " + std::to_string(wan);
    text += " is longer than " + std::to_string(N - 1) + " bytes!";
    ShowMessage(text, MessageIcon::Exclamation);
    return true;
}
} // namespace

bool CheckTemplateValues(const DeviceParams& t) {
    const DeviceParamsOverflow& o = t.overflow;
    if (RefuseCut(o.ploamPassword, t.ploamPassword, "GPON_PLOAM_PASSWD") ||
        RefuseCut(o.loidPassword, t.loidPassword, "LOID_PASSWD_OLD") ||
        RefuseCut(o.loid, t.loid, "LOID_OLD") ||
        RefuseCut(o.loginPassword, t.loginPassword, "SUSER_PASSWORD"))
        return false;
    for (int j = 0; j < 10; ++j) {
        if (RefuseCut(o.wanName[j], t.wanName[j], "WanName", j + 1) ||
            RefuseCut(o.vid[j], t.vid[j], "vid", j + 1) ||
            RefuseCut(o.pppUser[j], t.pppUser[j], "pppUser", j + 1) ||
            RefuseCut(o.pppPassword[j], t.pppPassword[j], "pppPasswd", j + 1) ||
            RefuseCut(o.channelMode[j], t.channelMode[j], "ChannelMode", j + 1))
            return false;
    }
    return true;
}
