#include "base/MessageSeam.h"
#include "base/Settings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(MessageSeam, RecordingSinkSeesTextIconCaptionAndAnswers) {
    qvtest::RecordingMessageSink sink;
    sink.setNextAnswer(MessageAnswer::Cancel);
    EXPECT_EQ(ShowMessage("Continue?", MessageIcon::Question), MessageAnswer::Cancel);
    EXPECT_EQ(ShowMessage("Refused!", MessageIcon::Exclamation, ""), MessageAnswer::Ok);
    auto shown = sink.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Quorvantix");
    EXPECT_EQ(shown[1].text, "Refused!");
    EXPECT_EQ(shown[1].caption, "");
}

TEST(Version, TextCarriesTheFourVersionWords) {
    EXPECT_EQ(BuildVersionText(), "V0.20.6.69");
}
