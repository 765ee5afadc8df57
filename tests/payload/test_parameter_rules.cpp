#include "payload/ParameterRules.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using qvtest::RecordingMessageSink;

QString Q(const char16_t* s) {
    return QString::fromUtf16(s);
}
QString Rep(char16_t c, int n) {
    return QString(n, QChar(c));
}

TEST(Measures, Utf8LengthCountsCodeUnits) {
    EXPECT_EQ(Utf8Length(QString()), 0);
    EXPECT_EQ(Utf8Length(Q(u"a\u007F")), 2);
    EXPECT_EQ(Utf8Length(Q(u"\u0080\u07FF")), 4);
    EXPECT_EQ(Utf8Length(Q(u"\u0800\uFFFF")), 6);
    EXPECT_EQ(Utf8Length(Q(u"\U0001F600")), 6); // each surrogate half counts 3
}

TEST(Measures, ChineseCharacters) {
    for (char16_t u : {u'\u4E00', u'\u9FA5', u'\u3002', u'\u00B7', u'\uFFE5', u'\u2014'})
        EXPECT_TRUE(IsChineseChar(u)) << int(u);
    for (char16_t u : {u'\u4DFF', u'\u9FA6', u'a', u'\u0416', u'\u00E9', u'\u3003'})
        EXPECT_FALSE(IsChineseChar(u)) << int(u);
}

TEST(Measures, NumberValue) {
    struct {
        const char* text;
        int value;
    } cases[] = {{"", 0},
                 {"abc", 0},
                 {"12abc", 12},
                 {"  \t42", 42},
                 {"-5", -5},
                 {"+7", 7},
                 {"4094", 4094},
                 {"- 5", 0},
                 {"99999999999", 2147483647},
                 {"-99999999999", -2147483647 - 1}};
    for (const auto& c : cases)
        EXPECT_EQ(NumberValue(c.text), c.value) << c.text;
}

struct PredicateCase {
    bool (*predicate)(const QString&);
    const char* name;
    QString text;
    bool valid;
};

class Predicates : public testing::TestWithParam<PredicateCase> {};

TEST_P(Predicates, Result) {
    const PredicateCase& c = GetParam();
    EXPECT_EQ(c.predicate(c.text), c.valid) << c.name << " \"" << c.text.toStdString() << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Predicates,
    testing::Values(
        PredicateCase{IsValidPppUser, "user", QStringLiteral("alice@isp"), true},
        PredicateCase{IsValidPppUser, "user", QString(), false},
        PredicateCase{IsValidPppUser, "user", Rep(u'a', 63), true},
        PredicateCase{IsValidPppUser, "user", Rep(u'a', 64), false},
        PredicateCase{IsValidPppUser, "user", Rep(u'\u00E9', 31), true},
        PredicateCase{IsValidPppUser, "user", Rep(u'\u00E9', 32), false},
        PredicateCase{IsValidPppUser, "user", Q(u"\u007F"), true}, // DEL counts one byte
        PredicateCase{IsValidPppUser, "user", Q(u"\u4E2D\u6587"), true},
        PredicateCase{IsValidPppUser, "user&", QStringLiteral("a&b"), false},
        PredicateCase{IsValidPppUser, "user`", QStringLiteral("a`b"), false},
        PredicateCase{IsValidPppUser, "user(", QStringLiteral("a(b"), false},
        PredicateCase{IsValidPppUser, "user)", QStringLiteral("a)b"), false},
        PredicateCase{IsValidPppUser, "user|", QStringLiteral("a|b"), false},
        PredicateCase{IsValidPppUser, "user\\", QStringLiteral("a\\b"), false},
        PredicateCase{IsValidPppUser, "user<", QStringLiteral("a<b"), false},
        PredicateCase{IsValidPppUser, "user>", QStringLiteral("a>b"), false},
        PredicateCase{IsValidPppUser, "user;", QStringLiteral("a;b"), false},
        PredicateCase{IsValidPppUser, "user'", QStringLiteral("a'b"), false},
        PredicateCase{IsValidPppUser, "user\"", QStringLiteral("a\"b"), false},
        PredicateCase{IsValidPppUser, "user space", QStringLiteral("a b"), true},
        PredicateCase{IsValidPppPassword, "ppp", Rep(u'x', 29), true},
        PredicateCase{IsValidPppPassword, "ppp", Rep(u'x', 30), false},
        PredicateCase{IsValidPppPassword, "ppp", QString(), false},
        PredicateCase{IsValidPppPassword, "ppp", QStringLiteral("a;"), false},
        PredicateCase{IsValidSsid, "ssid", Rep(u'a', 32), true},
        PredicateCase{IsValidSsid, "ssid", Rep(u'a', 33), false},
        PredicateCase{IsValidSsid, "ssid", Rep(u'\u0800', 10), true},
        PredicateCase{IsValidSsid, "ssid", Rep(u'\u0800', 11), false},
        PredicateCase{IsValidSsid, "ssid", Q(u"\u041C\u0438\u0440"), true},
        PredicateCase{IsValidSsid, "ssid", Q(u"caf\u00E9"), true},
        PredicateCase{IsValidSsid, "ssid", Q(u"net\u4E2D"), false},
        PredicateCase{IsValidSsid, "ssid", Q(u"net\uFF01"), false},
        PredicateCase{IsValidSsid, "ssid", QStringLiteral("my net"), false},
        PredicateCase{IsValidSsid, "ssid", QString(), false},
        PredicateCase{IsValidWlanPsk, "psk", Rep(u'k', 7), false},
        PredicateCase{IsValidWlanPsk, "psk", Rep(u'k', 8), true},
        PredicateCase{IsValidWlanPsk, "psk", Rep(u'k', 63), true},
        PredicateCase{IsValidWlanPsk, "psk", Rep(u'k', 64), false},
        PredicateCase{IsValidWlanPsk, "psk", Q(u"password\u00E9"), false},
        PredicateCase{IsValidWlanPsk, "psk", QStringLiteral("pass word"), true},
        PredicateCase{IsValidWlanPsk, "psk", QStringLiteral("password\\"), false},
        PredicateCase{IsValidWlanPsk, "psk", QStringLiteral("password'"), false},
        PredicateCase{IsValidWlanPsk, "psk", QStringLiteral("password\""), false},
        PredicateCase{IsValidWlanPsk, "psk", QString(), false},
        PredicateCase{IsValidLoid, "loid", QString(), true},
        PredicateCase{IsValidLoid, "loid", QStringLiteral("Az09`~!@#$%^&*()_+-=[]\\{}|;':\"<>,./"),
                      false}, // every mark allowed, but 38 bytes
        PredicateCase{IsValidLoid, "loid", QStringLiteral("`~!@#$%^&*()_+-=[]\\{}|"), true},
        PredicateCase{IsValidLoid, "loid", QStringLiteral(";':\"<>,./Az09"), true},
        PredicateCase{IsValidLoid, "loid", Rep(u'a', 24), true},
        PredicateCase{IsValidLoid, "loid", Rep(u'a', 25), false},
        PredicateCase{IsValidLoid, "loid", QStringLiteral("a b"), false},
        PredicateCase{IsValidLoid, "loid", QStringLiteral("a?b"), false},
        PredicateCase{IsValidLoidPassword, "loidpw", QString(), true},
        PredicateCase{IsValidLoidPassword, "loidpw", QStringLiteral("a.:-_/@9"), true},
        PredicateCase{IsValidLoidPassword, "loidpw", Rep(u'a', 12), true},
        PredicateCase{IsValidLoidPassword, "loidpw", Rep(u'a', 13), false},
        PredicateCase{IsValidLoidPassword, "loidpw", QStringLiteral("a#"), false},
        PredicateCase{IsValidPloamPassword, "ploam", QString(), false},
        PredicateCase{IsValidPloamPassword, "ploam", Rep(u'a', 10), true},
        PredicateCase{IsValidPloamPassword, "ploam", Rep(u'a', 11), false},
        PredicateCase{IsValidPloamPassword, "ploam", QStringLiteral("a!"), false},
        PredicateCase{IsValidLoginPassword, "login", QString(), false},
        PredicateCase{IsValidLoginPassword, "login", Rep(u'a', 30), true},
        PredicateCase{IsValidLoginPassword, "login", Rep(u'a', 31), false},
        PredicateCase{IsValidLoginPassword, "login", QStringLiteral("a b"), false},
        PredicateCase{IsValidLoginPassword, "login", QStringLiteral("a\\'\"&"), true},
        PredicateCase{IsValidLoginPassword, "login", Q(u"pass\u00E9"), false}));

// A template with two WAN connections: the first has a vid and PPPoE, the
// second neither, so its fields are never tested.
DeviceParams Template(int dualBand) {
    DeviceParams t{};
    CopyToField(t.vid[0], "100");
    CopyToField(t.channelMode[0], "2");
    CopyToField(t.vid[1], "0");
    CopyToField(t.channelMode[1], "1");
    t.wanCount = 2;
    t.dualBand = dualBand;
    return t;
}

DeviceParams GoodRow(const char* mac = "00:1A:2B:3C:4D:5E") {
    DeviceParams r{};
    CopyToField(r.mac, mac);
    r.wanCount = 2;
    CopyToField(r.vid[0], "10");
    CopyToField(r.pppUser[0], "user");
    CopyToField(r.pppPassword[0], "pass");
    CopyToField(r.vid[1], "garbage"); // not tested: template vid 2 is 0
    CopyToField(r.ssid5g, "five");
    CopyToField(r.ssid24g, "two");
    CopyToField(r.wlanPsk5g, "12345678");
    CopyToField(r.wlanPsk24g, "87654321");
    CopyToField(r.loginPassword, "admin");
    return r;
}

std::string Validate(const std::vector<DeviceParams>& rows, const DeviceParams& t, bool wlan,
                     bool* result = nullptr) {
    RecordingMessageSink sink;
    bool ok = ValidateParameterRecords(rows, t, wlan);
    if (result)
        *result = ok;
    auto m = sink.messages();
    if (m.empty())
        return {};
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].caption, "");
    EXPECT_EQ(m[0].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(ok);
    return m[0].text;
}

const std::string kM = "The MAC:00:1A:2B:3C:4D:5E ";

TEST(Validate, EmptyListAndGoodRowPass) {
    bool ok = false;
    EXPECT_EQ(Validate({}, Template(1), true, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Validate({GoodRow()}, Template(1), true, &ok), "");
    EXPECT_TRUE(ok);
}

struct RowCase {
    const char* name;
    void (*mutate)(DeviceParams&);
    int dualBand;
    bool wlan;
    std::string message; // empty: passes
};

class Rows : public testing::TestWithParam<RowCase> {};

TEST_P(Rows, Message) {
    const RowCase& c = GetParam();
    DeviceParams r = GoodRow();
    c.mutate(r);
    EXPECT_EQ(Validate({r}, Template(c.dualBand), c.wlan), c.message);
}

const std::string kVid = "vid1 value:%d is invalid. Please check that the following rules are "
                         "met:VLAN ID must be an integer ranging from 1 to 4094!";
std::string VidMsg(int v) {
    std::string s = kVid;
    s.replace(s.find("%d"), 2, std::to_string(v));
    return kM + s;
}
const std::string kPppUser = kM + "pppUser1 is invalid. Please check that the following rules are "
                                  "met:userName must contain 1 to 63 characters, except special "
                                  "characters &`()|\\<>;'\"";
const std::string kPppPw = kM + "pppPassword1 is invalid. Please check that the following rules "
                                "are met:must contain 1 to 29 characters, except special "
                                "characters &`()|\\<>;'\"";
const std::string kSsid5 = kM + "ssid_5g is invalid. Please check that the following rules are "
                                "met:ssid_5G must contain 1 to 32 UTF-8 bytes.except Chinese or "
                                "empty!";
const std::string kSsid2 = kM + "ssid_2.4g is invalid. Please check that the following rules are "
                                "met:ssid_2.4G must contain 1 to 32 UTF-8 bytes.except Chinese or "
                                "empty!";
const std::string kPsk5 = kM + "wlanPsk_5g is invalid. Please check that the following rules are "
                               "met:wlanPsk_5G must contain 8 to 63 ASCII characters, except "
                               "special characters \\ ' \" ";
const std::string kPsk2 = kM + "wlanPsk_2.4g is invalid. Please check that the following rules "
                               "are met：wlanPsk_2.4G must contain 8 to 63 ASCII characters, "
                               "except special characters \\ ' \" ";
const std::string kLoid = kM + "loidis is invalid. Please check that the following rules are "
                               "met：loid contains a maximum of 24 characters, including digits, "
                               "uppercase and lowercase letters, and special characters  "
                               "`~!@#$%^&*()_+-=[]\\{}|;':\"<>,./";
const std::string kLoidPw = kM + "loidPassword is invalid. Please check that the following rules "
                                 "are met：to enter the loidPassword, you must first enter "
                                 "loid;The 'loidPassword' support 12 characters, including "
                                 "digits, letters, and special characters.:-_/@;";
const std::string kPair = kM + "to set loidPassword, you must set loid first.";
const std::string kPloam = kM + "ploamPassword is invalid. Please check that the following rules "
                                "are met：ploamPassword must contain 1 to 10 characters, including "
                                "digits, letters, and special characters .:-_/@";
const std::string kLogin = kM + "loginPassword is invalid. Please check that the following rules "
                                "are met：loginPassword must contain 1 to 30 ASCII characters "
                                "without spaces,not allowed blank space!";

#define MUT(body) [](DeviceParams& r) { body; }

INSTANTIATE_TEST_SUITE_P(
    Table, Rows,
    testing::Values(
        RowCase{"vid0", MUT(CopyToField(r.vid[0], "0")), 1, true, VidMsg(0)},
        RowCase{"vid4095", MUT(CopyToField(r.vid[0], "4095")), 1, true, VidMsg(4095)},
        RowCase{"vidAbc", MUT(CopyToField(r.vid[0], "abc")), 1, true, VidMsg(0)},
        RowCase{"vidNeg", MUT(CopyToField(r.vid[0], "-5")), 1, true, VidMsg(-5)},
        RowCase{"vid1", MUT(CopyToField(r.vid[0], "1")), 1, true, ""},
        RowCase{"vid4094", MUT(CopyToField(r.vid[0], "4094")), 1, true, ""},
        RowCase{"vid12abc", MUT(CopyToField(r.vid[0], "12abc")), 1, true, ""},
        RowCase {
            "vidCut", MUT(CopyToField(r.vid[0], "12"); r.overflow.vid[0] = true), 1, true,
                VidMsg(12)
        },
        RowCase {
            "vidBeyondRowWanCount", MUT(r.wanCount = 0; CopyToField(r.vid[0], "0")), 1, true, ""
        },
        RowCase{"pppUserEmpty", MUT(r.pppUser[0][0] = 0), 1, true, kPppUser},
        RowCase {
            "pppUserBeforePassword", MUT(r.pppUser[0][0] = 0; r.pppPassword[0][0] = 0), 1, true,
                kPppUser
        },
        RowCase{"pppPassword", MUT(CopyToField(r.pppPassword[0], "a|b")), 1, true, kPppPw},
        RowCase{"pppUserCut", MUT(r.overflow.pppUser[0] = true), 1, true, kPppUser},
        RowCase {
            "vidBeforePpp", MUT(r.pppUser[0][0] = 0; CopyToField(r.vid[0], "0")), 1, true, VidMsg(0)
        },
        RowCase{"ssid5Space", MUT(CopyToField(r.ssid5g, "a b")), 1, true, kSsid5},
        RowCase{"ssid5Ignored1Band", MUT(CopyToField(r.ssid5g, "a b")), 0, true, ""},
        RowCase{"ssid2", MUT(r.ssid24g[0] = 0), 0, true, kSsid2},
        RowCase { "ssid5BeforeSsid2", MUT(r.ssid24g[0] = 0; r.ssid5g[0] = 0), 1, true, kSsid5 },
        RowCase { "ssid2BeforePsk5", MUT(r.ssid24g[0] = 0; r.wlanPsk5g[0] = 0), 1, true, kSsid2 },
        RowCase{"psk5", MUT(CopyToField(r.wlanPsk5g, "1234567")), 1, true, kPsk5},
        RowCase{"psk5Ignored1Band", MUT(CopyToField(r.wlanPsk5g, "1")), 0, true, ""},
        RowCase{"psk2", MUT(CopyToField(r.wlanPsk24g, "1234567'")), 1, true, kPsk2},
        RowCase{"ssidCut", MUT(r.overflow.ssid24g = true), 1, true, kSsid2},
        RowCase {
            "noWlanColumns",
                MUT(r.ssid5g[0] = 0; r.ssid24g[0] = 0; r.wlanPsk5g[0] = 0; r.wlanPsk24g[0] = 0;
                    r.overflow.ssid24g = true),
                1, false, ""
        },
        RowCase{"loidSpace", MUT(CopyToField(r.loid, "a b")), 1, true, kLoid},
        RowCase{"loidQuestion", MUT(CopyToField(r.loid, "a?")), 1, true, kLoid},
        RowCase {
            "loidPw", MUT(CopyToField(r.loid, "x"); CopyToField(r.loidPassword, "a#")), 1, true,
                kLoidPw
        },
        RowCase{"loidPwWithoutLoid", MUT(CopyToField(r.loidPassword, "abc")), 1, true, kPair},
        RowCase {
            "loidAndPw", MUT(CopyToField(r.loid, "x"); CopyToField(r.loidPassword, "abc")), 1, true,
                ""
        },
        RowCase{"ploamEmpty", MUT(r.ploamPassword[0] = 0), 1, true, ""},
        RowCase{"ploam11", MUT(CopyToField(r.ploamPassword, "12345678901")), 1, true, kPloam},
        RowCase{"loginEmpty", MUT(r.loginPassword[0] = 0), 1, true, kLogin},
        RowCase{"loginCut", MUT(r.overflow.loginPassword = true), 1, true, kLogin},
        RowCase {
            "loidBeforeLogin", MUT(r.loginPassword[0] = 0; CopyToField(r.loid, "a b")), 1, true,
                kLoid
        }),
    [](const testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

TEST(Validate, OnlyFirstRowsFirstFieldReported) {
    DeviceParams a = GoodRow("AA:AA:AA:AA:AA:AA");
    DeviceParams b = GoodRow("BB:BB:BB:BB:BB:BB");
    a.loginPassword[0] = 0;
    CopyToField(a.loid, "a b");
    b.vid[0][0] = 0;
    DeviceParams ok = GoodRow("00:00:00:00:00:00");
    std::string msg = Validate({ok, a, b}, Template(1), true);
    EXPECT_EQ(msg.rfind("The MAC:AA:AA:AA:AA:AA:AA loidis is invalid", 0), 0u) << msg;
}

TEST(Validate, WanConnectionNumberInMessage) {
    DeviceParams t = Template(0);
    CopyToField(t.vid[1], "20");
    DeviceParams r = GoodRow();
    CopyToField(r.vid[1], "5000");
    std::string msg = Validate({r}, t, false);
    EXPECT_EQ(msg.rfind(kM + "vid2 value:5000 is invalid", 0), 0u) << msg;
}

} // namespace
