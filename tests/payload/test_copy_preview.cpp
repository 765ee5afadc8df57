// The changed entries of a device's copy against its template, as the dry
// run and the preview dialog show them.

#include "payload/ConfigXml.h"
#include "payload/CopyPreview.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Entry(const std::string& name, const std::string& value) {
    return "<Value Name=\"" + name + "\" Value=\"" + value + "\"/>";
}

// A single-band template with a GPON identity, a login, a radio and one
// PPPoE connection; LOID is written without indentation.
const std::string kTemplate = Entry("LOID", "tl") + "\n" +                     //
                              "  " + Entry("LOID_PASSWD", "tlp") + "\n" +      //
                              "  " + Entry("SUSER_PASSWORD", "root") + "\n" +  //
                              "  " + Entry("GPON_PLOAM_PASSWD", "pl") + "\n" + //
                              "<WLAN_MBSSIB_TBL>\n" +                          //
                              "  " + Entry("ssid", "tssid") + "\n" +           //
                              "  " + Entry("wpaPSK", "tpsk") + "\n" +          //
                              "<ATM_VC_TBL>\n" +                               //
                              "  " + Entry("WanName", "INTERNET") + "\n" +     //
                              "  " + Entry("vid", "41") + "\n" +               //
                              "  " + Entry("pppUser", "alice") + "\n" +        //
                              "  " + Entry("pppPasswd", "secret") + "\n" +     //
                              "  " + Entry("ChannelMode", "2") + "\n";

struct Expected {
    std::string name, was, now;
    bool secret;
};

void ExpectChanges(const std::vector<EntryChange>& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        SCOPED_TRACE(want[k].name);
        EXPECT_EQ(got[k].name, want[k].name);
        EXPECT_EQ(got[k].templateValue, want[k].was);
        EXPECT_EQ(got[k].deviceValue, want[k].now);
        EXPECT_EQ(got[k].secret, want[k].secret);
    }
}

TEST(CopyPreview, ListsExactlyTheEntriesTheRewriteChangesInFileOrder) {
    DeviceParams d{};
    CopyToField(d.loid, "tl"); // the same as the template: not a change
    CopyToField(d.loidPassword, "dlp");
    CopyToField(d.loginPassword, "admin");
    CopyToField(d.ploamPassword, "pl");
    CopyToField(d.ssid24g, "home");
    CopyToField(d.wlanPsk24g, "wifikey");
    d.wanCount = 1;
    CopyToField(d.vid[0], "42");
    CopyToField(d.pppUser[0], "alice");
    CopyToField(d.pppPassword[0], "hunter2");
    const std::string copy = RewriteTemplateText(kTemplate, d, 0);
    ASSERT_NE(copy, kTemplate);

    std::vector<EntryChange> changes;
    ASSERT_TRUE(ChangedEntries(kTemplate, copy, changes));
    // LOID only gained its two spaces of indentation, GPON_PLOAM_PASSWD and
    // pppUser kept their values, WanName is never rewritten.
    ExpectChanges(changes, {{"LOID_PASSWD", "tlp", "dlp", true},
                            {"SUSER_PASSWORD", "root", "admin", true},
                            {"ssid", "tssid", "home", false},
                            {"wpaPSK", "tpsk", "wifikey", true},
                            {"vid", "41", "42", false},
                            {"pppPasswd", "secret", "hunter2", true}});

    // An unchanged copy changes nothing; line ends do not count.
    std::string crlf;
    for (char c : kTemplate)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_TRUE(ChangedEntries(kTemplate, crlf, changes));
    EXPECT_TRUE(changes.empty());
}

TEST(CopyPreview, ALineThatIsNoEntryIsShownWholeAndAForeignCopyIsRefused) {
    std::vector<EntryChange> changes;
    const std::string before = "<ATM_VC_TBL>\n  " + Entry("pppPasswd", "a") + "\n";
    ASSERT_TRUE(ChangedEntries(before, "<OTHER>\n  " + Entry("pppPasswd", "a") + "\n", changes));
    ExpectChanges(changes, {{"line 1", "<ATM_VC_TBL>", "<OTHER>", false}});
    // An entry renamed on its line: the lines, masked since one names a secret.
    ASSERT_TRUE(ChangedEntries(before, "<ATM_VC_TBL>\n  " + Entry("pppUser", "a") + "\n", changes));
    ExpectChanges(changes,
                  {{"line 2", "  " + Entry("pppPasswd", "a"), "  " + Entry("pppUser", "a"), true}});

    EXPECT_FALSE(ChangedEntries(before, before + "extra\n", changes));
    EXPECT_FALSE(ChangedEntries(before, "<ATM_VC_TBL>\n", changes));
}

TEST(CopyPreview, PasswordsAndKeysAreSecretAndMasked) {
    struct {
        const char* name;
        bool secret;
    } cases[] = {
        {"GPON_PLOAM_PASSWD", true},
        {"LOID_PASSWD_OLD", true},
        {"LOID_PASSWD", true},
        {"SUSER_PASSWORD", true},
        {"pppPasswd", true},
        {"WSC_PSK", true},
        {"WLAN1_WSC_PSK", true},
        {"WLAN1_WPA_PSK", true},
        {"WLAN_WPA_PSK", true},
        {"wscPsk", true},
        {"wpaPSK", true},
        {"WEP_KEY1", true},
        {"LOID", false},
        {"LOID_OLD", false},
        {"vid", false},
        {"pppUser", false},
        {"ssid", false},
        {"WLAN1_SSID", false},
        {"SSID", false},
        {"WanName", false},
        {"ChannelMode", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSecretEntry(c.name), c.secret) << c.name;
    EXPECT_EQ(ShownValue("hunter2", true, false), "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2");
    EXPECT_EQ(ShownValue("hunter2", true, true), "hunter2");
    EXPECT_EQ(ShownValue("home", false, false), "home");
}

TEST(CopyPreview, FilesAreReadWithinBoundsAndEachFailureNamed) {
    qvtest::TempProgramDir dir;
    dir.write("t.xml", kTemplate);
    dir.write("copy.xml", kTemplate);
    std::vector<EntryChange> changes;
    std::string error;
    EXPECT_TRUE(ChangedEntriesOfFiles(dir.file("t.xml"), dir.file("copy.xml"), changes, error));
    EXPECT_TRUE(changes.empty());
    EXPECT_FALSE(ChangedEntriesOfFiles(dir.file("none.xml"), dir.file("copy.xml"), changes, error));
    EXPECT_EQ(error, "the template cannot be read");
    EXPECT_FALSE(ChangedEntriesOfFiles(dir.file("t.xml"), dir.file("none.xml"), changes, error));
    EXPECT_EQ(error, "the copy cannot be read");
    dir.write("short.xml", "x\n");
    EXPECT_FALSE(ChangedEntriesOfFiles(dir.file("t.xml"), dir.file("short.xml"), changes, error));
    EXPECT_EQ(error, "the copy does not match the template");
}

} // namespace
