// Template reading and rewriting on arbitrary bytes: no crash, no access past
// a field, every field terminated within its width, one output line per
// input line, each ending with CR LF.

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

std::size_t CountLines(std::string_view text) {
    if (text.empty())
        return 0;
    std::size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return text.back() == '\n' ? n : n + 1;
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
    }

    std::vector<DeviceParams> rows{templ};
    ValidateParameterRecords(rows, templ, true);
    return 0;
}
