// Template reading and rewriting on arbitrary bytes: no crash, no access past
// a field, every field terminated within its width, one output line per
// input line (CR LF, LF and a lone CR each end one), each ending with CR LF.

#include "base/MessageSeam.h"
#include "payload/ConfigXml.h"
#include "payload/ParameterRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

class SilentSink : public MessageSink {
public:
    MessageAnswer Show(const std::string&, MessageIcon, const std::string&) override {
        return MessageAnswer::Ok;
    }
};

template <std::size_t N> void CheckTerminated(const char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr)
        std::abort();
}

void CheckRecord(const DeviceParams& p) {
    CheckTerminated(p.mac);
    for (int j = 0; j < 10; ++j) {
        CheckTerminated(p.wanName[j]);
        CheckTerminated(p.vid[j]);
        CheckTerminated(p.pppUser[j]);
        CheckTerminated(p.pppPassword[j]);
        CheckTerminated(p.channelMode[j]);
    }
    CheckTerminated(p.ssid5g);
    CheckTerminated(p.wlanPsk5g);
    CheckTerminated(p.ssid24g);
    CheckTerminated(p.wlanPsk24g);
    CheckTerminated(p.loid);
    CheckTerminated(p.loidPassword);
    CheckTerminated(p.loginPassword);
    CheckTerminated(p.ploamPassword);
    if (p.wanCount < 0 || p.wanCount > 10 || (p.dualBand != 0 && p.dualBand != 1))
        std::abort();
}

// Lines as the template reader counts them: each ends at CR LF, LF or a lone
// CR; text after the last end is one more line.
std::size_t CountLines(std::string_view text) {
    std::size_t n = 0;
    std::size_t i = 0;
    bool open = false;
    while (i < text.size()) {
        if (text[i] == '\r' || text[i] == '\n') {
            ++n;
            open = false;
            i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else {
            open = true;
            ++i;
        }
    }
    return open ? n + 1 : n;
}

// Every CR and LF of the output is part of a CR LF line end: no line holds one.
bool OnlyCrlfEnds(std::string_view out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r' && (i + 1 >= out.size() || out[i + 1] != '\n'))
            return false;
        if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentSink sink;
    static bool installed = (SetMessageSink(&sink), true);
    (void)installed;

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DeviceParams templ;
    ParseTemplateText(text, templ);
    CheckRecord(templ);

    // The template's own values serve as the device's, so every field is
    // written back with arbitrary content; both radio layouts are exercised.
    for (int dualBand : {0, 1}) {
        const std::string out = RewriteTemplateText(text, templ, dualBand);
        if (CountLines(out) != CountLines(text))
            std::abort();
        if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0))
            std::abort();
        if (!OnlyCrlfEnds(out))
            std::abort();
    }

    std::vector<DeviceParams> rows{templ};
    ValidateParameterRecords(rows, templ, true);
    return 0;
}
