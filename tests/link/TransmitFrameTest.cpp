#include "link/TransmitFrame.h"
#include "link/AdapterInfo.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {
const std::uint8_t kAdapter[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const std::uint8_t kDevice[6] = {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};

TEST(TransmitFrame, DiscoveryRequestIsBroadcastWithOnlyTheOpcodeSet) {
    const TransmitFrame f = BuildDiscoveryRequest(kAdapter);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f.bytes[i], 0xFF);
    EXPECT_EQ(std::memcmp(f.bytes + 6, kAdapter, 6), 0);
    EXPECT_EQ(f.bytes[12], 0x62);
    EXPECT_EQ(f.bytes[13], 0x62);
    for (std::size_t i = 14; i < kFrameSize; ++i)
        EXPECT_EQ(f.bytes[i], i == 19 ? 1 : 0) << "byte " << i;
}

TEST(TransmitFrame, DataTemplateCarriesHeaderCategoryOpcodeAndFileCount) {
    struct Case {
        FrameCategory category;
        std::uint16_t opcode;
        std::uint16_t fileCount;
    };
    for (const Case c : {Case{Para, ParaData, 1}, Case{Logo, LogoData, 2}}) {
        const TransmitFrame f = BuildDataTemplate(kDevice, kAdapter, c.category, c.fileCount);
        EXPECT_EQ(std::memcmp(f.bytes, kDevice, 6), 0);
        EXPECT_EQ(std::memcmp(f.bytes + 6, kAdapter, 6), 0);
        EXPECT_EQ(f.Get16(12), 0x6262);
        EXPECT_EQ(f.bytes[14], 0);
        EXPECT_EQ(f.bytes[15], c.category);
        EXPECT_EQ(f.bytes[18], 0);
        EXPECT_EQ(f.bytes[19], c.opcode);
        EXPECT_EQ(f.FileCount(), c.fileCount);
        EXPECT_EQ(f.Sequence(), 0);
        EXPECT_EQ(f.DataLength(), 0);
    }
}

TEST(TransmitFrame, SequenceFieldNeverCarriesZero) {
    const std::pair<std::uint64_t, std::uint16_t> cases[] = {
        {1, 1},     {2, 2},          {65535, 65535},   {65536, 0xFFFF},
        {65537, 1}, {131071, 65535}, {131072, 0xFFFF}, {131073, 1},
    };
    for (const auto& [counter, field] : cases)
        EXPECT_EQ(SequenceField(counter), field) << counter;
}

TEST(TransmitFrame, FieldsAreBigEndian) {
    TransmitFrame f = ZeroFrame();
    f.bytes[14] = 0x00;
    f.bytes[15] = 0x02;
    f.bytes[16] = 0x12;
    f.bytes[17] = 0x34;
    f.bytes[18] = 0x00;
    f.bytes[19] = 0x08;
    f.Set16(frame::kDataLength, 952);
    EXPECT_EQ(f.Category(), 2);
    EXPECT_EQ(f.Sequence(), 0x1234);
    EXPECT_EQ(f.Opcode(), 8);
    EXPECT_EQ(f.bytes[1284], 0x03);
    EXPECT_EQ(f.bytes[1285], 0xB8);
}

TEST(TransmitFrame, CapturedFramesAreCutAndPadded) {
    std::uint8_t longer[1500];
    std::memset(longer, 0xAB, sizeof longer);
    TransmitFrame f = FrameFromCapture(longer, sizeof longer);
    EXPECT_EQ(f.bytes[kFrameSize - 1], 0xAB);
    std::uint8_t shorter[20];
    std::memset(shorter, 0xCD, sizeof shorter);
    f = FrameFromCapture(shorter, sizeof shorter);
    EXPECT_EQ(f.bytes[19], 0xCD);
    EXPECT_EQ(f.bytes[20], 0);
    EXPECT_EQ(f.bytes[kFrameSize - 1], 0);
}

TEST(TransmitFrame, DeviceInfoTextsStayWithinTheirFields) {
    TransmitFrame f = ZeroFrame();
    EXPECT_EQ(ReadDeviceInfo(f).ssid2, "");
    EXPECT_EQ(ReadDeviceInfo(f).wpaKey5, "");

    std::memcpy(f.bytes + 22, "home-2g", 8);
    std::memcpy(f.bytes + 56, "home-5g", 8);
    std::memcpy(f.bytes + 90, "key2", 5);
    std::memcpy(f.bytes + 156, "key5", 5);
    DeviceInfoTexts t = ReadDeviceInfo(f);
    EXPECT_EQ(t.ssid2, "home-2g");
    EXPECT_EQ(t.ssid5, "home-5g");
    EXPECT_EQ(t.wpaKey2, "key2");
    EXPECT_EQ(t.wpaKey5, "key5");

    // No terminator anywhere: each field reads as its whole width only.
    std::memset(f.bytes + 22, 'S', 34);
    std::memset(f.bytes + 56, 'T', 34);
    std::memset(f.bytes + 90, 'K', 66);
    std::memset(f.bytes + 156, 'L', 66);
    std::memset(f.bytes + 222, 'X', kFrameSize - 222);
    t = ReadDeviceInfo(f);
    EXPECT_EQ(t.ssid2, std::string(34, 'S'));
    EXPECT_EQ(t.ssid5, std::string(34, 'T'));
    EXPECT_EQ(t.wpaKey2, std::string(66, 'K'));
    EXPECT_EQ(t.wpaKey5, std::string(66, 'L'));
}

TEST(TransmitFrame, MacTextBothFormsAndParsing) {
    EXPECT_EQ(MacTextUpper(kDevice), "A0:B1:C2:D3:E4:F5");
    EXPECT_EQ(MacTextLower(kDevice), "a0:b1:c2:d3:e4:f5");
    std::uint8_t mac[6] = {};
    ASSERT_TRUE(ParseMacText("A0:B1:C2:D3:E4:F5", mac));
    EXPECT_EQ(std::memcmp(mac, kDevice, 6), 0);

    std::uint8_t untouched[6] = {1, 2, 3, 4, 5, 6};
    for (const char* bad : {"", "A0:B1:C2:D3:E4", "A0:B1:C2:D3:E4:F5:", "A0-B1-C2-D3-E4-F5",
                            "G0:B1:C2:D3:E4:F5", "A0:B1:C2:D3:E4:F "}) {
        EXPECT_FALSE(ParseMacText(bad, untouched)) << bad;
        EXPECT_EQ(untouched[0], 1);
    }
}

TEST(AdapterInfo, ChooserTextShowsDescriptionAndUpperCaseMac) {
    AdapterRecord r;
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.hardwareAddress, kAdapter, 6);
    std::strcpy(r.description, "e1000e");
    EXPECT_EQ(AdapterChooserText(r), "e1000e (00:1A:2B:3C:4D:5E)");
}
TEST(AdapterInfo, ListTakesKindOneNodesAndClearsKindGapAndLink) {
    std::vector<AdapterRecord> nodes(3);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::memset(&nodes[i], static_cast<int>(0xA0 + i), sizeof nodes[i]);
        nodes[i].description[131] = '\0';
        nodes[i].adapterName[259] = '\0';
    }
    nodes[0].kind = 1;
    nodes[1].kind = 2; // never taken, whatever its content
    nodes[2].kind = 1;
    const std::vector<AdapterRecord> list = AdapterListFromNodes(nodes);
    ASSERT_EQ(list.size(), 2u);
    for (std::size_t n = 0; n < 2; ++n) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(&list[n]);
        const std::uint8_t fill = n == 0 ? 0xA0 : 0xA2;
        for (std::size_t i = 0; i < sizeof(AdapterRecord); ++i) {
            const bool zero = i == 0 || (i >= 401 && i < 404) || i >= 920 || i == 140 || i == 400;
            ASSERT_EQ(b[i], zero ? 0 : fill) << "record " << n << " byte " << i;
        }
    }
}

} // namespace
