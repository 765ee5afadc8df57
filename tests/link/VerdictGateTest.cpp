// Which result frames may change a status: only those about a file this
// process sends, and a success only once the file was delivered.

#include "link/VerdictGate.h"
#include "link/TransmitFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kDevice = 0x020000000007;
constexpr std::uint64_t kOther = 0x020000000008;

// One step of a case: a transfer starting or ending, or a verdict arriving.
struct Step {
    enum Kind { Begin, Delivered, Failed, Verdict } kind;
    std::uint64_t mac = kDevice;
    std::uint16_t category = Para;
    bool success = true;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    // What the store sees, in order: "end" for the transfer status, "ok"/"fail" for a verdict.
    std::vector<std::string> expected;
};

TEST(VerdictGateTest, VerdictsCountOnlyForDeliveredFiles) {
    const Case cases[] = {
        {"no transfer in this run", {{Step::Verdict}, {Step::Verdict, kDevice, Para, false}}, {}},
        {"another device's transfer", {{Step::Begin, kOther}, {Step::Verdict}}, {}},
        {"another category's transfer", {{Step::Begin, kDevice, Logo}, {Step::Verdict}}, {}},
        {"early success waits for the last acknowledgement",
         {{Step::Begin}, {Step::Verdict}, {Step::Delivered}},
         {"end", "ok"}},
        {"early success is dropped when the transfer fails",
         {{Step::Begin}, {Step::Verdict}, {Step::Failed}, {Step::Verdict}},
         {"end"}},
        {"the latest early verdict counts",
         {{Step::Begin},
          {Step::Verdict, kDevice, Para, false},
          {Step::Verdict, kDevice, Para, true},
          {Step::Delivered}},
         {"end", "ok"}},
        {"after delivery verdicts count at once",
         {{Step::Begin}, {Step::Delivered}, {Step::Verdict, kDevice, Para, false}, {Step::Verdict}},
         {"end", "fail", "ok"}},
        {"a new transfer forgets the old verdict",
         {{Step::Begin}, {Step::Verdict}, {Step::Begin}, {Step::Failed}},
         {"end"}},
        {"a new transfer closes the delivered one",
         {{Step::Begin}, {Step::Delivered}, {Step::Begin}, {Step::Verdict}, {Step::Failed}},
         {"end", "end"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VerdictGate gate;
        std::vector<std::string> seen;
        const auto apply = [&](bool ok) { seen.push_back(ok ? "ok" : "fail"); };
        const auto end = [&] { seen.push_back("end"); };
        for (const Step& s : c.steps) {
            switch (s.kind) {
            case Step::Begin:
                gate.Begin(s.mac, s.category);
                break;
            case Step::Delivered:
            case Step::Failed:
                gate.End(s.mac, s.category, s.kind == Step::Delivered, end, apply);
                break;
            case Step::Verdict:
                gate.Verdict(s.mac, s.category, s.success, apply);
                break;
            }
        }
        EXPECT_EQ(seen, c.expected);
    }
}

// Verdicts from the receive thread while transfers end on theirs: each
// delivered file gets its verdict exactly once, after its transfer status.
TEST(VerdictGateTest, ConcurrentEndsAndVerdictsApplyEachOnceAfterTheStatus) {
    VerdictGate gate;
    constexpr int kDevices = 200;
    std::vector<int> state(kDevices, 0); // 0 sending, 1 status written, 2 verdict applied
    std::vector<int> errors(kDevices, 0);
    for (int i = 0; i < kDevices; ++i)
        gate.Begin(static_cast<std::uint64_t>(i), Logo);
    std::thread verdicts([&] {
        for (int i = 0; i < kDevices; ++i)
            gate.Verdict(static_cast<std::uint64_t>(i), Logo, true, [&, i](bool) {
                errors[i] += state[i] != 1;
                state[i] = 2;
            });
    });
    for (int i = 0; i < kDevices; ++i)
        gate.End(
            static_cast<std::uint64_t>(i), Logo, true, [&, i] { state[i] = 1; },
            [&, i](bool) {
                errors[i] += state[i] != 1;
                state[i] = 2;
            });
    verdicts.join();
    for (int i = 0; i < kDevices; ++i) {
        EXPECT_EQ(state[i], 2) << i;
        EXPECT_EQ(errors[i], 0) << i;
    }
}

} // namespace
