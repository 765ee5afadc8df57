// The bench station's decisions, round by round: who is provisioned, who is
// skipped, who is tried again after being unplugged and plugged back.

#include "payload/ProvisionWatch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Devices by letter, so a round reads "AB" for "A and B answered".
std::string Mac(char letter) {
    return std::string("02:00:00:00:00:0") + letter;
}

std::vector<std::string> Macs(const std::string& letters) {
    std::vector<std::string> macs;
    for (char c : letters)
        macs.push_back(Mac(c));
    return macs;
}

std::string Letters(const std::vector<std::string>& macs) {
    std::string letters;
    for (const std::string& mac : macs)
        letters += mac.back();
    return letters;
}

struct Step {
    const char* succeeded; // attempts that ended well before this round
    const char* failed;    // attempts that failed before this round
    const char* answered;  // the round's answers, in order
    const char* provision; // expected
    const char* retry;
    const char* skipped;
};

void Play(ProvisionWatch& watch, const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("round " + std::to_string(++n) + " answered \"" + s.answered + "\"");
        for (char c : std::string(s.succeeded))
            watch.Finished(Mac(c), true);
        for (char c : std::string(s.failed))
            watch.Finished(Mac(c), false);
        const ProvisionWatch::Decision d = watch.Round(Macs(s.answered));
        EXPECT_EQ(Letters(d.provision), s.provision);
        EXPECT_EQ(Letters(d.retry), s.retry);
        EXPECT_EQ(Letters(d.skipped), s.skipped);
    }
}

TEST(ProvisionWatch, EachDeviceIsProvisionedOnItsFirstAnswerOnly) {
    ProvisionWatch watch;
    Play(watch, {
                    {"", "", "", "", "", ""},
                    {"", "", "BA", "BA", "", ""},
                    {"", "", "ABA", "", "", ""}, // in transfer: answers change nothing
                    {"A", "", "AB", "", "", ""},
                    {"B", "", "CABD", "CD", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "ABCD", "", "", ""}, // back after a pause, nothing failed
                });
    EXPECT_EQ(watch.Count(ProvisionWatch::State::Succeeded), 2u);
    EXPECT_EQ(watch.Count(ProvisionWatch::State::InTransfer), 2u);
    EXPECT_EQ(watch.RoundsSeen(), 9u);
    ASSERT_NE(watch.Find(Mac('C')), nullptr);
    EXPECT_EQ(watch.Find(Mac('C'))->attempts, 1);
    EXPECT_EQ(watch.Find(Mac('E')), nullptr);
}

TEST(ProvisionWatch, WithRowsADeviceWithoutOneIsSkippedOnce) {
    ProvisionWatch watch(Macs("AC"));
    Play(watch, {
                    {"", "", "AB", "A", "", "B"},
                    {"", "", "AB", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "BC", "C", "", ""}, // B is back: still nothing for it
                });
    EXPECT_EQ(watch.Count(ProvisionWatch::State::Skipped), 1u);
    EXPECT_EQ(watch.Find(Mac('B'))->attempts, 0);
}

TEST(ProvisionWatch, AFailedDeviceIsRetriedWhenItComesBackAfterThreeSilentRounds) {
    ProvisionWatch watch;
    Play(watch, {
                    {"", "", "AB", "AB", "", ""},
                    {"", "AB", "AB", "", "", ""}, // both failed, still plugged in
                    {"", "", "AB", "", "", ""},
                    {"", "", "B", "", "", ""},  // A silent one round ...
                    {"", "", "B", "", "", ""},  // ... two
                    {"", "", "AB", "", "", ""}, // back too early: not unplugged
                    {"", "", "B", "", "", ""},
                    {"", "", "B", "", "", ""},
                    {"", "", "B", "", "", ""}, // three rounds silent
                    {"", "", "AB", "", "A", ""},
                    {"", "", "AB", "", "", ""}, // in transfer again
                    {"A", "", "AB", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "AB", "", "B", ""}, // a success is never sent again
                });
    EXPECT_EQ(watch.Find(Mac('A'))->attempts, 2);
    EXPECT_EQ(watch.Find(Mac('A'))->state, ProvisionWatch::State::Succeeded);
    EXPECT_EQ(watch.Find(Mac('B'))->attempts, 2);
}

TEST(ProvisionWatch, SilenceDuringTheTransferCountsWhenItFailsLater) {
    ProvisionWatch watch;
    Play(watch, {
                    {"", "", "A", "A", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""},
                    {"", "", "", "", "", ""}, // unplugged during its transfer
                    {"", "", "A", "", "", ""},
                    {"", "A", "A", "", "A", ""}, // the transfer failed: it was replugged
                });
}

TEST(ProvisionWatch, AtMostThreeRetries) {
    ProvisionWatch watch;
    const Step away{"", "", "", "", "", ""};
    std::vector<Step> steps{{"", "", "A", "A", "", ""}};
    for (int retry = 1; retry <= 4; ++retry) {
        steps.push_back({"", "A", "", "", "", ""});
        steps.push_back(away);
        steps.push_back(away);
        steps.push_back({"", "", "A", "", retry <= 3 ? "A" : "", ""});
    }
    Play(watch, steps);
    EXPECT_EQ(watch.Find(Mac('A'))->attempts, 4);
    EXPECT_EQ(watch.Find(Mac('A'))->state, ProvisionWatch::State::Failed);
}

TEST(ProvisionWatch, OutcomesOfDevicesNotInTransferAreIgnored) {
    ProvisionWatch watch(Macs("A"));
    watch.Finished(Mac('A'), true); // never answered
    Play(watch, {{"", "", "AB", "A", "", "B"}});
    watch.Finished(Mac('B'), true); // skipped
    watch.Finished(Mac('A'), false);
    watch.Finished(Mac('A'), true); // the attempt was already over
    EXPECT_EQ(watch.Find(Mac('A'))->state, ProvisionWatch::State::Failed);
    EXPECT_EQ(watch.Find(Mac('B'))->state, ProvisionWatch::State::Skipped);
}

} // namespace
