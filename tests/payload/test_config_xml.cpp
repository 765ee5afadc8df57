#include "base/FileUtil.h"
#include "payload/ConfigXml.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qvtest::RecordingMessageSink;
using qvtest::TempProgramDir;

DeviceParams Parse(const std::string& text) {
    DeviceParams p;
    ParseTemplateText(text, p);
    return p;
}

std::string Entry(const std::string& name, const std::string& value) {
    return "<Value Name=\"" + name + "\" Value=\"" + value + "\"/>";
}

std::string Crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

DeviceParams Device() {
    DeviceParams d{};
    CopyToField(d.ssid5g, "five");
    CopyToField(d.ssid24g, "two");
    CopyToField(d.wlanPsk5g, "psk5");
    CopyToField(d.wlanPsk24g, "psk2");
    CopyToField(d.loid, "L1");
    CopyToField(d.loidPassword, "LP");
    CopyToField(d.loginPassword, "admin1");
    CopyToField(d.ploamPassword, "PL");
    d.wanCount = 2;
    for (int j = 0; j < 10; ++j) {
        CopyToField(d.vid[j], std::to_string(100 + j));
        CopyToField(d.pppUser[j], "u" + std::to_string(j));
        CopyToField(d.pppPassword[j], "p" + std::to_string(j));
    }
    return d;
}

TEST(ParseTemplate, ReadsGponLoginAndWanValuesInFirstMatchOrder) {
    const std::string t = Crlf({
        "<Value Name=\"GPON_PLOAM_PASSWD\" Value=\"ploam\"/>",
        "<Value Name=\"LOID_PASSWD_OLD\" Value=\"lpw\"/>",
        "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>",
        "<Value Name=\"LOID\" Value=\"ignored\"/>",
        "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>",
        "<Value Name=\"vid\" Value=\"7\"/>", // before any ATM_VC_TBL: not read
        "<ATM_VC_TBL>",
        "  <Value Name=\"WanName\" Value=\"INTERNET\"/>",
        "  <Value Name=\"vid\" Value=\"41\"/>",
        "  <Value Name=\"pppUser\" Value=\"alice\"/>",
        "  <Value Name=\"pppPasswd\" Value=\"secret\"/>",
        "  <Value Name=\"ChannelMode\" Value=\"2\"/>",
        "<ATM_VC_TBL>",
        "  <Value Name=\"vid\" Value=\"42\"/>",
        "  <Value Name=\"ChannelMode\" Value=\"1\"/>",
    });
    DeviceParams p = Parse(t);
    EXPECT_STREQ(p.ploamPassword, "ploam");
    EXPECT_STREQ(p.loidPassword, "lpw");
    EXPECT_STREQ(p.loid, "theloid");
    EXPECT_STREQ(p.loginPassword, "root");
    EXPECT_EQ(p.wanCount, 2);
    EXPECT_STREQ(p.wanName[0], "INTERNET");
    EXPECT_STREQ(p.vid[0], "41");
    EXPECT_STREQ(p.pppUser[0], "alice");
    EXPECT_STREQ(p.pppPassword[0], "secret");
    EXPECT_STREQ(p.channelMode[0], "2");
    EXPECT_STREQ(p.vid[1], "42");
    EXPECT_STREQ(p.channelMode[1], "1");
    EXPECT_EQ(p.dualBand, 0);
    EXPECT_STREQ(p.mac, "");
}

TEST(ParseTemplate, ChannelModeBeforeVidPutsVidIntoNextConnection) {
    DeviceParams p = Parse(Crlf(
        {"ATM_VC_TBL", Entry("ChannelMode", "2"), Entry("vid", "10"), Entry("ChannelMode", "1")}));
    EXPECT_EQ(p.wanCount, 2);
    EXPECT_STREQ(p.vid[0], "");
    EXPECT_STREQ(p.vid[1], "10");
}

TEST(ParseTemplate, EleventhConnectionIgnored) {
    std::string t = "ATM_VC_TBL\n";
    for (int j = 0; j < 12; ++j)
        t += Entry("vid", std::to_string(j + 1)) + "\n" + Entry("ChannelMode", "2") + "\n";
    DeviceParams p = Parse(t);
    EXPECT_EQ(p.wanCount, 10);
    EXPECT_STREQ(p.vid[9], "10");
}

TEST(ParseTemplate, DualBandNeedsBothPrefixesAndUnclosedValueIsEmpty) {
    EXPECT_EQ(Parse("WLAN_SSID\nWLAN1_SSID\n").dualBand, 1);
    EXPECT_EQ(Parse("WLAN_SSID\n").dualBand, 0);
    EXPECT_EQ(Parse("WLAN1_SSID\n").dualBand, 0);
    EXPECT_STREQ(Parse("<Value Name=\"LOID_OLD\" Value=\"abc\n").loid, "");
    // The value ends at the first closing sequence.
    EXPECT_STREQ(Parse("<Value Name=\"LOID_OLD\" Value=\"a\"b\"/>x\"/>").loid, "a\"b");
}

TEST(ParseTemplate, LongValueIsCutOnCharacterBoundaryAndFlagged) {
    std::string value(30, 'a');
    value += "\xC3\xA9\xC3\xA9"; // é é: bytes 30..33, field holds 31 bytes
    DeviceParams p = Parse(Entry("LOID_OLD", value));
    EXPECT_EQ(std::string(p.loid), std::string(30, 'a'));
    EXPECT_TRUE(p.overflow.loid);
    DeviceParams q = Parse(Entry("LOID_OLD", "short"));
    EXPECT_FALSE(q.overflow.loid);
    DeviceParams r = Parse("ATM_VC_TBL\n" + Entry("ChannelMode", "123456789"));
    EXPECT_STREQ(r.channelMode[0], "1234567");
    EXPECT_TRUE(r.overflow.channelMode[0]);
}

TEST(ParseTemplate, MissingFileFailsEmptyFileSucceeds) {
    TempProgramDir dir;
    DeviceParams p;
    EXPECT_FALSE(ParseTemplateXml(dir.file("none.xml"), p));
    dir.write("empty.xml", "");
    EXPECT_TRUE(ParseTemplateXml(dir.file("empty.xml"), p));
    EXPECT_EQ(p.wanCount, 0);
}

struct RewriteCase {
    const char* name;
    int dualBand;
    std::string input;
    std::string expected;
};

class Rewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(Rewrite, Lines) {
    const RewriteCase& c = GetParam();
    EXPECT_EQ(RewriteTemplateText(c.input, Device(), c.dualBand), c.expected);
}

const std::string kTwoSp = "  ";

INSTANTIATE_TEST_SUITE_P(
    Cases, Rewrite,
    testing::Values(
        RewriteCase{"Empty", 0, "", ""},
        RewriteCase{"LfBecomesCrlfAndLastLineGetsOne", 0, "a\nb\r\nc", "a\r\nb\r\nc\r\n"},
        // Old editors end lines with a lone CR: each is a line of its own, not
        // one line holding the whole file.
        RewriteCase{"LoneCrEndsLines", 0,
                    Entry("LOID", "x") + "\r" + Entry("SUSER_PASSWORD", "y") + "\r" +
                        Entry("GPON_PLOAM_PASSWD", "z") + "\r",
                    Crlf({kTwoSp + Entry("LOID", "L1"), kTwoSp + Entry("SUSER_PASSWORD", "admin1"),
                          kTwoSp + Entry("GPON_PLOAM_PASSWD", "PL")})},
        RewriteCase{"MixedLineEnds", 0, "a\rb\r\nc\nd\r\re", "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n"},
        RewriteCase{"IndentReplacedByTwoSpaces", 0,
                    "    " + Entry("LOID", "x") + "\n\t" + Entry("LOID", "y") + " tail\n",
                    kTwoSp + Entry("LOID", "L1") + "\r\n" + kTwoSp + Entry("LOID", "L1") + "\r\n"},
        RewriteCase{
            "GponOrderAndNamesExact", 0,
            Entry("LOID_PASSWD_OLD", "a") + "\n" + Entry("LOID_OLD", "b") + "\n" +
                Entry("LOID_PASSWD", "c") + "\n" + Entry("GPON_PLOAM_PASSWD", "d") + "\n" +
                Entry("SUSER_PASSWORD", "e") + "\n" + Entry("LOIDX", "f") + "\n",
            Crlf({kTwoSp + Entry("LOID_PASSWD_OLD", "LP"), kTwoSp + Entry("LOID_OLD", "L1"),
                  kTwoSp + Entry("LOID_PASSWD", "LP"), kTwoSp + Entry("GPON_PLOAM_PASSWD", "PL"),
                  kTwoSp + Entry("SUSER_PASSWORD", "admin1"), Entry("LOIDX", "f")})},
        RewriteCase{
            "SingleBand", 0,
            Crlf({Entry("SSID", "s"), Entry("ssid", "a"), Entry("ssid", "b"),
                  Entry("WLAN_WPA_PSK", "k"), Entry("WLAN_WPA_PSK", "k2"), Entry("WSC_PSK", "w"),
                  "<WLAN_MBSSIB_TBL>", Entry("wscPsk", "1"), Entry("ssid", "2"),
                  Entry("wpaPSK", "3"), Entry("ssid", "4"), "<WLAN_MBSSIB_TBL>",
                  Entry("ssid", "5")}),
            Crlf({Entry("SSID", "s"), kTwoSp + Entry("ssid", "two"), Entry("ssid", "b"),
                  kTwoSp + Entry("WLAN_WPA_PSK", "psk2"), Entry("WLAN_WPA_PSK", "k2"),
                  Entry("WSC_PSK", "w"), "<WLAN_MBSSIB_TBL>", kTwoSp + Entry("wscPsk", "psk2"),
                  kTwoSp + Entry("ssid", "two"), kTwoSp + Entry("wpaPSK", "psk2"),
                  Entry("ssid", "4"), "<WLAN_MBSSIB_TBL>", Entry("ssid", "5")})},
        RewriteCase{
            "DualBandFirstSsidOnly", 1,
            Crlf({Entry("SSID", "a"), Entry("SSID", "b"), Entry("WLAN1_SSID", "c"),
                  Entry("WLAN1_SSID", "d"), Entry("WSC_PSK", "e"), Entry("WLAN1_WSC_PSK", "f"),
                  Entry("WLAN1_WPA_PSK", "g"), Entry("WLAN_WPA_PSK", "h"),
                  Entry("WLAN_WPA_PSK", "i")}),
            Crlf({kTwoSp + Entry("SSID", "five"), Entry("SSID", "b"),
                  kTwoSp + Entry("WLAN1_SSID", "two"), kTwoSp + Entry("WLAN1_SSID", "two"),
                  kTwoSp + Entry("WSC_PSK", "psk5"), kTwoSp + Entry("WLAN1_WSC_PSK", "psk2"),
                  kTwoSp + Entry("WLAN1_WPA_PSK", "psk2"), kTwoSp + Entry("WLAN_WPA_PSK", "psk5"),
                  kTwoSp + Entry("WLAN_WPA_PSK", "psk5")})},
        RewriteCase{"DualBandTables", 1,
                    Crlf({"<WLAN1_MBSSIB_TBL>", Entry("ssid", "1"), Entry("wpaPSK", "2"),
                          Entry("ssid", "3"), "<WLAN_MBSSIB_TBL>", Entry("wscPsk", "4"),
                          Entry("ssid", "5"), Entry("wpaPSK", "6"), Entry("wscPsk", "7"),
                          "<WLAN1_MBSSIB_TBL>", Entry("ssid", "8")}),
                    Crlf({"<WLAN1_MBSSIB_TBL>", kTwoSp + Entry("ssid", "two"),
                          kTwoSp + Entry("wpaPSK", "psk2"), Entry("ssid", "3"), "<WLAN_MBSSIB_TBL>",
                          kTwoSp + Entry("wscPsk", "psk5"), kTwoSp + Entry("ssid", "five"),
                          kTwoSp + Entry("wpaPSK", "psk5"), Entry("wscPsk", "7"),
                          "<WLAN1_MBSSIB_TBL>", Entry("ssid", "8")})},
        RewriteCase{
            "WanBeyondDeviceCountKept", 0,
            Crlf({Entry("vid", "0"), "<ATM_VC_TBL>", Entry("WanName", "w"), Entry("vid", "1"),
                  Entry("pppUser", "a"), Entry("pppPasswd", "b"), Entry("ChannelMode", "2"),
                  "<ATM_VC_TBL>", Entry("vid", "2"), Entry("ChannelMode", "2"), Entry("vid", "x"),
                  "<ATM_VC_TBL>", Entry("vid", "3"), Entry("pppUser", "c"), Entry("pppPasswd", "d"),
                  Entry("ChannelMode", "2")}),
            Crlf({Entry("vid", "0"), "<ATM_VC_TBL>", Entry("WanName", "w"),
                  kTwoSp + Entry("vid", "100"), kTwoSp + Entry("pppUser", "u0"),
                  kTwoSp + Entry("pppPasswd", "p0"), Entry("ChannelMode", "2"), "<ATM_VC_TBL>",
                  kTwoSp + Entry("vid", "101"), Entry("ChannelMode", "2"), Entry("vid", "x"),
                  "<ATM_VC_TBL>", Entry("vid", "3"), Entry("pppUser", "c"), Entry("pppPasswd", "d"),
                  Entry("ChannelMode", "2")})}),
    [](const testing::TestParamInfo<RewriteCase>& info) { return std::string(info.param.name); });

TEST(RewriteXml, ValuesWrittenUnescapedAndEmptyFieldGivesEmptyValue) {
    DeviceParams d{};
    CopyToField(d.loid, "a&b\"c<");
    EXPECT_EQ(RewriteTemplateText(Entry("LOID", "x") + "\n" + Entry("SUSER_PASSWORD", "y"), d, 0),
              kTwoSp + Entry("LOID", "a&b\"c<") + "\r\n" + kTwoSp + Entry("SUSER_PASSWORD", "") +
                  "\r\n");
}

TEST(RewriteXml, FileResults) {
    TempProgramDir dir;
    dir.write("t.xml", Entry("LOID", "x") + "\n");
    const DeviceParams d = Device();
    // Unreadable template: output untouched.
    dir.write("out.xml", "old");
    EXPECT_FALSE(RewriteXml(dir.file("missing.xml"), dir.file("out.xml"), d, 0));
    EXPECT_EQ(dir.read("out.xml"), "old");
    // Output that cannot be created.
    EXPECT_FALSE(RewriteXml(dir.file("t.xml"), dir.file("nofolder/out.xml"), d, 0));
    EXPECT_TRUE(RewriteXml(dir.file("t.xml"), dir.file("out.xml"), d, 0));
    EXPECT_EQ(dir.read("out.xml"), kTwoSp + Entry("LOID", "L1") + "\r\n");
}

TEST(BuildDeviceXml, PathIsMacWithoutColonsUnderModifyXml) {
    TempProgramDir dir;
    EXPECT_EQ(DeviceXmlPath("00:1A:2B:3C:4D:5E"), dir.path() + "ModifyXml/001A2B3C4D5E.xml");
    // Another folder, with or without its final slash.
    EXPECT_EQ(DeviceXmlPath("00:1A:2B:3C:4D:5E", "/x/out"), "/x/out/001A2B3C4D5E.xml");
    EXPECT_EQ(DeviceXmlPath("00:1A:2B:3C:4D:5E", "/x/out/"), "/x/out/001A2B3C4D5E.xml");
}

TEST(BuildDeviceXml, WithoutSheetCopiesUnchanged) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    const std::string bytes = "a\nb\r\n" + Entry("LOID", "x");
    dir.write("t.xml", bytes);
    dir.write("ModifyXml/.keep", "");
    std::string out;
    EXPECT_TRUE(BuildDeviceXml(dir.file("t.xml"), false, Device(), "00:1A:2B:3C:4D:5E", 0, out));
    EXPECT_EQ(out, dir.file("ModifyXml/001A2B3C4D5E.xml"));
    EXPECT_EQ(qvtest::ReadFileBytes(out), bytes);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(BuildDeviceXml, WithSheetRewrites) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("t.xml", Entry("SSID", "x") + "\n");
    dir.write("ModifyXml/.keep", "");
    std::string out;
    EXPECT_TRUE(BuildDeviceXml(dir.file("t.xml"), true, Device(), "00:1A:2B:3C:4D:5E", 1, out));
    EXPECT_EQ(qvtest::ReadFileBytes(out), kTwoSp + Entry("SSID", "five") + "\r\n");
}

TEST(BuildDeviceXml, FailedWriteLeavesNoEarlierCopy) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("ModifyXml/001A2B3C4D5E.xml", "copy of an earlier batch");
    std::string out;
    // Rewrite from a template that cannot be read.
    EXPECT_FALSE(
        BuildDeviceXml(dir.file("missing.xml"), true, Device(), "00:1A:2B:3C:4D:5E", 0, out));
    EXPECT_EQ(out, dir.file("ModifyXml/001A2B3C4D5E.xml"));
    EXPECT_FALSE(std::filesystem::exists(out));
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].text, "Modify New Xml file fail!");
    EXPECT_EQ(sink.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(sink.messages()[0].caption, kAppCaption);
    // An unchanged copy that fails is not reported, and leaves no file either.
    sink.clear();
    dir.write("ModifyXml/001A2B3C4D5E.xml", "old");
    EXPECT_TRUE(
        BuildDeviceXml(dir.file("missing.xml"), false, Device(), "00:1A:2B:3C:4D:5E", 0, out));
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(sink.messages().empty());
}

TEST(BuildDeviceXml, MissingFolderFails) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("t.xml", "x\n");
    std::string out;
    EXPECT_FALSE(BuildDeviceXml(dir.file("t.xml"), true, Device(), "00:1A:2B:3C:4D:5E", 0, out));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"Modify New Xml file fail!"});
}

TEST(BuildDeviceXml, MacTextCannotLeaveTheFolder) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("t.xml", "x\n");
    dir.write("ModifyXml/.keep", "");
    std::string out;
    EXPECT_FALSE(BuildDeviceXml(dir.file("t.xml"), true, Device(), "../evil", 0, out));
    EXPECT_FALSE(std::filesystem::exists(dir.file("evil.xml")));
}

TEST(TemplateSize, LimitIsInclusive) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("ok.xml", std::string(300000, 'x'));
    dir.write("big.xml", std::string(300001, 'x'));
    EXPECT_TRUE(CheckTemplateSize(dir.file("ok.xml")));
    EXPECT_TRUE(sink.messages().empty());
    EXPECT_FALSE(CheckTemplateSize(dir.file("big.xml")));
    EXPECT_EQ(sink.texts(),
              std::vector<std::string>{"Xml file cannot be larger than 300000 bytes!"});
}

TEST(Suffix, CaseSensitiveLastFour) {
    EXPECT_TRUE(HasSuffix("a.xml", ".xml"));
    EXPECT_FALSE(HasSuffix("a.XML", ".xml"));
    EXPECT_FALSE(HasSuffix("xml", ".xml"));
    EXPECT_TRUE(HasSuffix(".xml", ".xml"));
}

TEST(ParseTemplate, LoneCrLinesAreReadOneByOne) {
    const DeviceParams p =
        Parse(Entry("LOID_OLD", "L") + "\r" + Entry("SUSER_PASSWORD", "S") + "\r<ATM_VC_TBL>\r" +
              Entry("vid", "7") + "\r" + Entry("ChannelMode", "2") + "\r");
    EXPECT_EQ(FieldText(p.loid), "L");
    EXPECT_EQ(FieldText(p.loginPassword), "S");
    EXPECT_EQ(p.wanCount, 1);
    EXPECT_EQ(FieldText(p.vid[0]), "7");
}

TEST(TemplateValues, ACutValueIsRefusedByName) {
    const std::string long63(63, 'u');
    const std::string long64(64, 'u');
    struct Case {
        const char* what;
        std::string text;
        std::string message; // empty: accepted
    } cases[] = {
        {"every value fits",
         Entry("LOID_OLD", std::string(31, 'l')) + "\n<ATM_VC_TBL>\n" + Entry("pppUser", long63) +
             "\n" + Entry("ChannelMode", "2") + "\n",
         ""},
        {"a 64-byte PPPoE user",
         "<ATM_VC_TBL>\n" + Entry("ChannelMode", "2") + "\n<ATM_VC_TBL>\n" +
             Entry("pppUser", long64) + "\n" + Entry("ChannelMode", "2") + "\n",
         "The template's entry pppUser of WAN connection 2 is longer than 63 bytes!"},
        {"a long LOID", Entry("LOID_OLD", std::string(32, 'l')) + "\n",
         "The template's entry LOID_OLD is longer than 31 bytes!"},
        {"a long PLOAM password", Entry("GPON_PLOAM_PASSWD", std::string(34, 'p')) + "\n",
         "The template's entry GPON_PLOAM_PASSWD is longer than 33 bytes!"},
        {"a long channel mode", "<ATM_VC_TBL>\n" + Entry("ChannelMode", "12345678") + "\n",
         "The template's entry ChannelMode of WAN connection 1 is longer than 7 bytes!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingMessageSink sink;
        EXPECT_EQ(CheckTemplateValues(Parse(c.text)), c.message.empty());
        EXPECT_EQ(sink.texts(), c.message.empty() ? std::vector<std::string>{}
                                                  : std::vector<std::string>{c.message});
    }
}

TEST(TemplateFiles, FifoAndDeviceAreRefusedWithoutWaiting) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("ModifyXml/.keep", "");
    ASSERT_EQ(::mkfifo(dir.file("fifo.xml").c_str(), 0600), 0);
    for (const std::string& path : {dir.file("fifo.xml"), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        sink.clear();
        EXPECT_FALSE(CheckTemplateSize(path));
        EXPECT_EQ(sink.texts(), std::vector<std::string>{"Xml file is not a regular file!"});
        DeviceParams p;
        EXPECT_FALSE(ParseTemplateXml(path, p));
        std::string out;
        EXPECT_FALSE(BuildDeviceXml(path, true, Device(), "00:1A:2B:3C:4D:5E", 0, out));
        EXPECT_TRUE(BuildDeviceXml(path, false, Device(), "00:1A:2B:3C:4D:5E", 0, out));
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(TemplateFiles, ReadingStopsPastTheLimit) {
    TempProgramDir dir;
    dir.write("big.xml", std::string(300001, '\n'));
    DeviceParams p;
    EXPECT_FALSE(ParseTemplateXml(dir.file("big.xml"), p));
    dir.write("ok.xml", std::string(300000, '\n'));
    EXPECT_TRUE(ParseTemplateXml(dir.file("ok.xml"), p));
}

TEST(DeviceCopy, PlantedLinkIsReplacedNotFollowed) {
    for (const bool useSheet : {true, false}) {
        SCOPED_TRACE(useSheet ? "rewritten" : "copied");
        TempProgramDir dir;
        RecordingMessageSink sink;
        dir.write("ModifyXml/.keep", "");
        dir.write("secret", "root only\n");
        dir.write("t.xml", Entry("LOID", "x") + "\n");
        const std::string copy = DeviceXmlPath("00:1A:2B:3C:4D:5E");
        ASSERT_EQ(::symlink(dir.file("secret").c_str(), copy.c_str()), 0);
        std::string out;
        EXPECT_TRUE(
            BuildDeviceXml(dir.file("t.xml"), useSheet, Device(), "00:1A:2B:3C:4D:5E", 0, out));
        EXPECT_EQ(qvtest::ReadFileBytes(dir.file("secret")), "root only\n");
        struct stat st {};
        ASSERT_EQ(::lstat(out.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        // Passwords of the device: its owner's alone, whatever the umask.
        EXPECT_EQ(st.st_mode & 07777, 0600u);
    }
}

} // namespace
