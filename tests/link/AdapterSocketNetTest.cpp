// The adapter socket and its dispatcher on a veth pair: each reader gets the
// frames it asked for, and no more than its queue holds.

#include "link/CaptureHandle.h"
#include "link/SendFile.h"
#include "tests/link/LinkNetFixture.h"

#include <algorithm>

namespace qvtest {
namespace {

class AdapterSocketNetTest : public LinkNetTest {
protected:
    // A frame from device `from` to the tool side, told apart by its sequence field.
    TransmitFrame From(const std::uint8_t from[6], std::uint16_t sequence) const {
        TransmitFrame f = ZeroFrame();
        std::memcpy(f.bytes, toolMac_, 6);
        std::memcpy(f.bytes + 6, from, 6);
        f.Set16(frame::kEtherTypeOffset, kEtherType);
        f.Set16(frame::kCategory, Para);
        f.Set16(frame::kOpcode, Reply);
        f.Set16(frame::kSequence, sequence);
        return f;
    }
    // Every frame waiting for a handle: source MAC key and sequence.
    static std::vector<std::pair<std::uint64_t, std::uint16_t>> Drain(CaptureHandle& h) {
        std::vector<std::pair<std::uint64_t, std::uint16_t>> out;
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        while (h.Next(data, length) == 1) {
            const TransmitFrame f = FrameFromCapture(data, length);
            out.emplace_back(AdapterSocket::MacKey(f.Source()), f.Sequence());
        }
        return out;
    }
    static std::string Filter(const char* direction, const std::uint8_t mac[6]) {
        return std::string("ether ") + direction + " " + MacTextUpper(mac) +
               " and ether proto 0x6262";
    }

    const std::uint8_t a_[6] = {0x02, 0x00, 0x00, 0x00, 0x20, 0x01};
    const std::uint8_t b_[6] = {0x02, 0x00, 0x00, 0x00, 0x20, 0x02};
};

TEST_F(AdapterSocketNetTest, TwoReadersOnOneSocketGetOnlyTheirOwnDevicesFrames) {
    CaptureHandle ha, hb, all, toUs, filters;
    for (CaptureHandle* h : {&ha, &hb, &all, &toUs, &filters})
        ASSERT_TRUE(h->Open(ns_->toolSide(), 1, 1 << 20)) << h->OpenError();
    EXPECT_EQ(ha.Socket(), hb.Socket()); // one socket per adapter
    ASSERT_TRUE(ha.SetFilter(ns_->toolSide(), Filter("src", a_)));
    ASSERT_TRUE(hb.SetFilter(ns_->toolSide(), Filter("src", b_)));
    ASSERT_TRUE(all.SetFilter(ns_->toolSide(), "ether proto 0x6262"));
    ASSERT_TRUE(toUs.SetFilter(ns_->toolSide(), Filter("dst", toolMac_)));
    for (const char* bad : {"ether src 02:00:00:00:20:01", "ip",
                            "ether src zz and ether proto "
                            "0x6262"})
        EXPECT_FALSE(filters.SetFilter(ns_->toolSide(), bad)) << bad;
    for (CaptureHandle* h : {&ha, &hb, &all, &toUs})
        h->SetNonBlocking();

    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok());
    // A reader whose filter changes while another device's frames wait: it
    // holds none of them afterwards (a transfer would take them for its own).
    // An open handle without a filter queues nothing before its first read.
    CaptureHandle late, unread;
    ASSERT_TRUE(late.Open(ns_->toolSide(), 1));
    ASSERT_TRUE(unread.Open(ns_->toolSide(), 1));
    ASSERT_TRUE(late.SetFilter(ns_->toolSide(), Filter("src", b_)));
    wire.Send(From(b_, 1));
    ASSERT_TRUE(WaitFor([&] { return Drain(all).size() == 1; }, 2000));
    ASSERT_TRUE(late.SetFilter(ns_->toolSide(), Filter("src", a_)));
    late.SetNonBlocking();
    EXPECT_TRUE(Drain(late).empty());
    unread.SetNonBlocking();
    EXPECT_TRUE(Drain(unread).empty());
    Drain(ha);
    Drain(hb);
    Drain(toUs);

    constexpr int kFrames = 200;
    std::vector<std::pair<std::uint64_t, std::uint16_t>> seenA, seenB, seenAll, seenToUs;
    const auto drainAll = [&] {
        for (auto [h, v] :
             {std::pair{&ha, &seenA}, {&hb, &seenB}, {&all, &seenAll}, {&toUs, &seenToUs}})
            for (const auto& f : Drain(*h))
                v->push_back(f);
    };
    // Every reader of frame i holds it: a frame is offered to the readers one
    // after another, so the unfiltered reader alone may be ahead by a frame.
    const auto allRead = [&](std::size_t i) {
        drainAll();
        return seenAll.size() >= i && seenToUs.size() >= std::min<std::size_t>(i, kFrames) &&
               seenA.size() + seenB.size() >= std::min<std::size_t>(i, kFrames);
    };
    // Sent in runs well below a queue's bound and read between them, so a slow
    // machine tests the routing, not the bound (which has a test of its own).
    for (int i = 1; i <= kFrames; ++i) {
        wire.Send(From(i % 2 ? a_ : b_, static_cast<std::uint16_t>(i)));
        if (i % 16 == 0)
            WaitFor([&] { return allRead(static_cast<std::size_t>(i)); }, 5000);
    }
    const std::uint8_t c[6] = {0x02, 0x00, 0x00, 0x00, 0x20, 0x03};
    TransmitFrame elsewhere = From(c, 999);
    elsewhere.bytes[5] ^= 1; // to another station: only the unfiltered reader sees it
    wire.Send(elsewhere);
    WaitFor([&] { return allRead(kFrames + 1u); }, 5000);
    ASSERT_EQ(seenA.size(), kFrames / 2u);
    ASSERT_EQ(seenB.size(), kFrames / 2u);
    for (std::size_t i = 0; i < seenA.size(); ++i) {
        EXPECT_EQ(seenA[i], std::make_pair(AdapterSocket::MacKey(a_), std::uint16_t(2 * i + 1)));
        EXPECT_EQ(seenB[i], std::make_pair(AdapterSocket::MacKey(b_), std::uint16_t(2 * i + 2)));
    }
    EXPECT_EQ(seenAll.size(), kFrames + 1u);
    EXPECT_EQ(seenToUs.size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(all.Socket()->TakeDrops().kernel, 0u);
}

// Two files to two devices at once over the one socket: neither transfer
// ever sees the other's acknowledgements (each would count as a stray).
TEST_F(AdapterSocketNetTest, TwoTransfersNeverTakeEachOthersAcknowledgements) {
    StartDevsim({"--count", "2", "--first-mac", "02:00:00:00:20:01", "--verdict", "none"});
    CaptureHandle keep; // holds the socket open, as the receive thread does
    ASSERT_TRUE(keep.Open(ns_->toolSide(), 1));
    const std::string path = WriteFile("f.xml", PatternBytes(200 * 1024));
    SendFileStats stats[2];
    bool ok[2] = {false, false};
    std::thread second([&] {
        ok[1] = SendFileOn(ns_->toolSide(), BuildDataTemplate(b_, toolMac_, Para, 1), Para, path,
                           MacTextUpper(b_), {}, &stats[1]);
    });
    ok[0] = SendFileOn(ns_->toolSide(), BuildDataTemplate(a_, toolMac_, Para, 1), Para, path,
                       MacTextUpper(a_), {}, &stats[0]);
    second.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(ok[i]) << i;
        EXPECT_EQ(stats[i].chunks, 200u) << i;
        EXPECT_EQ(stats[i].strays, 0u) << i;
    }
}

TEST_F(AdapterSocketNetTest, AFloodingDeviceCannotGrowAQueuePastItsBound) {
    CaptureHandle flooded, neighbour;
    ASSERT_TRUE(flooded.Open(ns_->toolSide(), 1, 0)) << flooded.OpenError();
    ASSERT_TRUE(neighbour.Open(ns_->toolSide(), 1, 0));
    ASSERT_TRUE(flooded.SetFilter(ns_->toolSide(), Filter("src", a_)));
    ASSERT_TRUE(neighbour.SetFilter(ns_->toolSide(), Filter("src", b_)));
    flooded.SetNonBlocking();
    neighbour.SetNonBlocking();
    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok());
    constexpr std::uint64_t kFlood = 3000;
    for (std::uint64_t i = 1; i <= kFlood; ++i)
        wire.Send(From(a_, static_cast<std::uint16_t>(i)));
    wire.Send(From(b_, 7));
    ASSERT_TRUE(WaitFor([&] { return neighbour.Dropped() == 0 && flooded.Dropped() > 0; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return flooded.Dropped() + 64 >= kFlood; }, 5000))
        << flooded.Dropped();
    EXPECT_EQ(flooded.Dropped(), kFlood - 64);
    const auto frames = Drain(flooded);
    ASSERT_EQ(frames.size(), 64u); // the bound: the first frames, the rest dropped
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].second, i + 1);
    EXPECT_TRUE(WaitFor([&] { return Drain(neighbour).size() == 1; }, 2000));
    const AdapterSocket::Drops drops = flooded.Socket()->TakeDrops();
    EXPECT_EQ(drops.queues, kFlood - 64);
}

} // namespace
} // namespace qvtest
