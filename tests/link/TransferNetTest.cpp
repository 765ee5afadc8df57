// SendFile on a veth pair: the frames on the wire, acknowledgement matching,
// retransmission and failure.

#include "link/SendFile.h"
#include "tests/link/LinkNetFixture.h"

#include <chrono>

namespace qvtest {
namespace {

const std::uint8_t kDevice[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const char* kDeviceText = "02:00:00:00:00:01";

class TransferNetTest : public LinkNetTest {
protected:
    TransmitFrame Template(FrameCategory category, std::uint16_t fileCount = 1) const {
        return BuildDataTemplate(kDevice, toolMac_, category, fileCount);
    }
    bool Send(FrameCategory category, const std::string& path, const TransferTiming& timing = {},
              SendFileStats* stats = nullptr) {
        return SendFileOn(ns_->toolSide(), Template(category), category, path, kDeviceText, timing,
                          stats);
    }
    // A quick timing for fault cases: the same poll counts, a 100 ms interval.
    static TransferTiming Quick() {
        TransferTiming t;
        t.retransmitInterval = std::chrono::milliseconds(100);
        return t;
    }
};

struct WireCase {
    const char* name;
    FrameCategory category;
    std::size_t size;
    std::vector<std::uint16_t> lengths;
    std::vector<std::uint16_t> positions;
};

class TransferWireTest : public TransferNetTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(TransferWireTest, FramesOnTheWireFollowTheLayout) {
    const WireCase& c = GetParam();
    StartDevsim({"--verdict", "none"});
    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok());
    const std::string content = PatternBytes(c.size, 3);
    const std::string path = WriteFile("payload.bin", content);
    ASSERT_TRUE(Send(c.category, path));
    ASSERT_TRUE(WaitFor([&] { return wire.frames().size() >= c.lengths.size(); }, 1000));
    wire.Stop();

    // Data frames from the tool only (the device's acknowledgements are the others).
    std::vector<TransmitFrame> data;
    for (const TransmitFrame& f : wire.frames())
        if (std::memcmp(f.Source(), toolMac_, 6) == 0)
            data.push_back(f);
    ASSERT_EQ(data.size(), c.lengths.size());
    std::size_t offset = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const TransmitFrame& f = data[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(std::memcmp(f.Destination(), kDevice, 6), 0);
        EXPECT_EQ(f.Get16(12), 0x6262);
        EXPECT_EQ(f.Category(), c.category);
        EXPECT_EQ(f.Opcode(), c.category == Para ? ParaData : LogoData);
        EXPECT_EQ(f.Sequence(), i + 1);
        EXPECT_EQ(f.FileCount(), 1);
        EXPECT_EQ(f.ChunkPositionField(), c.positions[i]);
        EXPECT_EQ(f.DataLength(), c.lengths[i]);
        for (std::size_t b = 22; b < 222; ++b)
            ASSERT_EQ(f.bytes[b], 0) << b;
        for (std::size_t b = 224; b < 260; ++b)
            ASSERT_EQ(f.bytes[b], 0) << b;
        EXPECT_EQ(std::memcmp(f.bytes + 260, content.data() + offset, c.lengths[i]), 0);
        offset += c.lengths[i];
    }
    for (const Wire::Seen& s : wire.seen())
        EXPECT_EQ(s.length, kFrameSize);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TransferWireTest,
    ::testing::Values(WireCase{"Config2500", Para, 2500, {1024, 1024, 452}, {1, 0, 2}},
                      WireCase{"Config3000", Para, 3000, {1024, 1024, 952}, {1, 0, 2}},
                      WireCase{"Logo1", Logo, 1, {1}, {2}}, WireCase{"Empty", Para, 0, {0}, {2}},
                      WireCase{"Exact2048", Logo, 2048, {1024, 1024}, {1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferNetTest, SilentDeviceGetsFiveTransmissionsInAboutFiveSeconds) {
    StartDevsim({"--silent", "1"});
    Wire wire(ns_->deviceSide());
    const std::string path = WriteFile("c.xml", PatternBytes(3000));
    SendFileStats stats;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(Para, path, {}, &stats));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    wire.Stop();
    EXPECT_EQ(stats.transmissions, 5u);
    EXPECT_EQ(stats.chunks, 1u); // no further chunk is read
    EXPECT_GE(seconds, 4.5);
    EXPECT_LE(seconds, 7.5);
    std::size_t sent = 0;
    for (const Wire::Seen& s : wire.seen())
        sent += s.opcode == ParaData && s.sequence == 1 ? 1 : 0;
    EXPECT_EQ(sent, 5u);
}

struct StrayCase {
    const char* name;
    // Builds the device's answer to a data frame.
    std::uint16_t (*category)(const TransmitFrame&);
    std::uint16_t opcode;
    std::uint16_t (*sequence)(const TransmitFrame&);
    bool acknowledges;
};

class TransferAckTest : public TransferNetTest, public ::testing::WithParamInterface<StrayCase> {};

TEST_P(TransferAckTest, AcknowledgementMatching) {
    const StrayCase& c = GetParam();
    Wire device(ns_->deviceSide(), [&](const TransmitFrame& f) -> std::vector<TransmitFrame> {
        if (std::memcmp(f.Destination(), kDevice, 6) != 0)
            return {};
        return {AnswerTo(f, c.category(f), c.opcode, c.sequence(f))};
    });
    ASSERT_TRUE(device.ok());
    const std::string path = WriteFile("c.xml", PatternBytes(2500));
    SendFileStats stats;
    // Answers that fail the file are waited out quickly; accepted ones run
    // at the normal interval, so a slow machine does not add retransmissions.
    EXPECT_EQ(Send(Para, path, c.acknowledges ? TransferTiming{} : Quick(), &stats),
              c.acknowledges);
    if (c.acknowledges) {
        EXPECT_EQ(stats.transmissions, 3u);
        EXPECT_EQ(stats.strays, 0u);
    } else {
        EXPECT_EQ(stats.transmissions, 5u);
        EXPECT_GE(stats.strays, 4u);
        EXPECT_LE(stats.strays, 5u);
        EXPECT_EQ(stats.chunks, 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TransferAckTest,
    ::testing::Values(
        StrayCase{"Proper", [](const TransmitFrame& f) { return f.Category(); }, Reply,
                  [](const TransmitFrame& f) { return f.Sequence(); }, true},
        StrayCase{"StaleSequence", [](const TransmitFrame& f) { return f.Category(); }, Reply,
                  [](const TransmitFrame& f) { return std::uint16_t(f.Sequence() - 1); }, false},
        StrayCase{"WrongCategory", [](const TransmitFrame&) { return std::uint16_t(Logo); }, Reply,
                  [](const TransmitFrame& f) { return f.Sequence(); }, false},
        StrayCase{"WrongOpcode", [](const TransmitFrame& f) { return f.Category(); }, ParaSuccess,
                  [](const TransmitFrame& f) { return f.Sequence(); }, false},
        StrayCase{"FfffWithOpcode7", [](const TransmitFrame&) { return std::uint16_t(Logo); },
                  LogoFail, [](const TransmitFrame&) { return std::uint16_t(0xFFFF); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    std::vector<std::string> options;
    bool result;
    std::uint64_t chunks; // chunks read
};

class TransferFaultTest : public TransferNetTest,
                          public ::testing::WithParamInterface<FaultCase> {};

// A 5000-byte file (five chunks) against the emulator's faults.
TEST_P(TransferFaultTest, EmulatorFaults) {
    const FaultCase& c = GetParam();
    StartDevsim(c.options);
    SendFileStats stats;
    EXPECT_EQ(Send(Logo, WriteFile("l.jpg", PatternBytes(5000)),
                   c.result ? TransferTiming{} : Quick(), &stats),
              c.result);
    EXPECT_EQ(stats.chunks, c.chunks);
}

INSTANTIATE_TEST_SUITE_P(Devsim, TransferFaultTest,
                         ::testing::Values(FaultCase{"AckFfff", {"--ack-ffff"}, true, 5},
                                           FaultCase{"DuplicateAck", {"--duplicate-ack"}, true, 5},
                                           FaultCase{"DelayedAck", {"--ack-delay", "20"}, true, 5},
                                           FaultCase{
                                               "StopAfterTwo", {"--stop-after", "2"}, false, 3},
                                           FaultCase{"Silent", {"--silent", "1"}, false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferNetTest, StaleSequenceStraysAreRetransmittedThenFail) {
    StartDevsim({"--stale-seq"});
    SendFileStats stats;
    EXPECT_FALSE(Send(Para, WriteFile("c.xml", PatternBytes(100)), Quick(), &stats));
    EXPECT_EQ(stats.transmissions, 5u);
    EXPECT_GE(stats.strays, 5u);
}

// Stray frames count like idle polls: every pollsPerRetransmission of them
// send the chunk again and pollLimit of them fail it, long before the
// retransmission interval would. The counts are small here and the device
// answers each data frame with a burst of frames that are not its
// acknowledgement (below the handle's queue bound).
TransferTiming StrayTiming() {
    TransferTiming timing;
    timing.pollsPerRetransmission = 32;
    timing.pollLimit = 160;
    timing.retransmitInterval = std::chrono::seconds(5);
    return timing;
}

Wire::Answer StrayBurst(std::size_t strays, bool thenAcknowledge) {
    return [=](const TransmitFrame& f) -> std::vector<TransmitFrame> {
        if (std::memcmp(f.Destination(), kDevice, 6) != 0)
            return {};
        std::vector<TransmitFrame> answers(strays,
                                           AnswerTo(f, f.Category(), ParaSuccess, f.Sequence()));
        if (thenAcknowledge)
            answers.push_back(AnswerTo(f, f.Category(), Reply, f.Sequence()));
        return answers;
    };
}

TEST_F(TransferNetTest, StrayFloodRetransmitsAfterTheStrayCountThenFails) {
    Wire device(ns_->deviceSide(), StrayBurst(40, false));
    ASSERT_TRUE(device.ok());
    SendFileStats stats;
    EXPECT_FALSE(Send(Para, WriteFile("c.xml", PatternBytes(100)), StrayTiming(), &stats));
    device.Stop();
    // Sent again at 32, 64, 96 and 128 strays; failed at 160.
    EXPECT_EQ(stats.transmissions, 5u) << stats.strays << " strays";
    EXPECT_EQ(stats.strays, 160u);
    EXPECT_EQ(stats.chunks, 1u);
    std::size_t sent = 0;
    for (const Wire::Seen& s : device.seen())
        sent += s.opcode == ParaData && s.sequence == 1 ? 1 : 0;
    EXPECT_EQ(sent, 5u);
}

// Fewer strays than the count do not send a chunk again: the acknowledgement
// behind them is taken for the one transmission.
TEST_F(TransferNetTest, StraysBelowTheCountAreWaitedThrough) {
    Wire device(ns_->deviceSide(), StrayBurst(31, true));
    ASSERT_TRUE(device.ok());
    SendFileStats stats;
    EXPECT_TRUE(Send(Para, WriteFile("c.xml", PatternBytes(2500)), StrayTiming(), &stats));
    EXPECT_EQ(stats.transmissions, 3u);
    EXPECT_EQ(stats.strays, 93u);
}

TEST_F(TransferNetTest, MissingFileOrDeviceSendsNothing) {
    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok()) << "the recorder must listen for its silence to count";
    EXPECT_FALSE(Send(Para, dir_.file("no-such-file.xml")));
    TransferTiming fast;
    fast.openAttempts = 2;
    fast.openRetryDelay = std::chrono::milliseconds(1);
    EXPECT_FALSE(SendFileOn("qv-no-such-if", Template(Para), Para, WriteFile("c.xml", "x"),
                            kDeviceText, fast));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(wire.seen().empty());
    EXPECT_TRUE(RecorderSeesAMarkedFrame(wire, ns_->toolSide())) << "the recorder sees the wire";
    wire.Stop();
}

TEST_F(TransferNetTest, SequenceWrapsAfter65535Chunks) {
    // The test answers itself: stop-and-wait keeps one frame in flight, so
    // the recorder never falls behind, however busy the machine.
    Wire wire(
        ns_->deviceSide(),
        [](const TransmitFrame& f) -> std::vector<TransmitFrame> {
            return {AnswerTo(f, f.Category(), Reply, f.Sequence())};
        },
        0);
    const std::size_t chunks = 65537;
    const std::string path = WriteFile("big.bin", PatternBytes(chunks * 1024 - 100));
    SendFileStats stats;
    ASSERT_TRUE(Send(Logo, path, {}, &stats))
        << stats.chunks << " chunks, " << stats.transmissions << " transmissions";
    ASSERT_EQ(stats.chunks, chunks);
    wire.Stop();
    // A stall of the machine may cause a retransmission: it repeats the frame
    // just sent, same sequence and same data, so it is folded away here. Chunks
    // 65535 and 65536 share the sequence 0xFFFF but not their data.
    std::vector<std::uint16_t> sent;
    const Wire::Seen* last = nullptr;
    std::vector<Wire::Seen> seen = wire.seen();
    for (const Wire::Seen& s : seen) {
        if (s.opcode != LogoData)
            continue;
        if (last != nullptr && last->sequence == s.sequence && last->firstData == s.firstData)
            continue;
        sent.push_back(s.sequence);
        last = &s;
    }
    ASSERT_EQ(sent.size(), chunks);
    EXPECT_EQ(sent[0], 1);
    EXPECT_EQ(sent[65533], 65534);
    EXPECT_EQ(sent[65534], 0xFFFF); // chunk 65535: its low bits are 0xFFFF
    EXPECT_EQ(sent[65535], 0xFFFF); // chunk 65536: low bits 0, sent as 0xFFFF
    EXPECT_EQ(sent[65536], 1);
}

// The device changes the file's size while its first chunk is on the way.
TEST_F(TransferNetTest, FileThatGrowsOrShrinksStillEnds) {
    struct Case {
        std::size_t initial;
        std::size_t changedTo;
        bool result;
        std::size_t frames;
    };
    for (const Case c : {Case{2500, 6000, true, 3}, Case{5000, 1500, false, 2}}) {
        SCOPED_TRACE(c.initial);
        const std::string path = WriteFile("changing.bin", PatternBytes(c.initial));
        std::atomic<int> dataFrames{0};
        Wire device(ns_->deviceSide(), [&](const TransmitFrame& f) -> std::vector<TransmitFrame> {
            if (std::memcmp(f.Destination(), kDevice, 6) != 0)
                return {};
            if (dataFrames++ == 0)
                std::filesystem::resize_file(path, c.changedTo);
            return {AnswerTo(f, f.Category(), Reply, f.Sequence())};
        });
        SendFileStats stats;
        EXPECT_EQ(Send(Para, path, {}, &stats), c.result);
        EXPECT_EQ(stats.transmissions, c.frames);
    }
}

} // namespace
} // namespace qvtest
