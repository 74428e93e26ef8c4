// The socket link against a peer on the loopback interface. Time limits are cut to tens of
// milliseconds so the waits that must happen stay short.

#include "device/socket_transport.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "device/device_protocol.h"
#include "tests/link/loopback_peer.h"

namespace brevant {
namespace {

using test::LoopbackPeer;

constexpr SocketTimeouts kShortTimeouts{50, 500, 500};

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t(1));
    return bytes;
}

class SocketLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.listening());
        ASSERT_EQ(link_.Open(), 0);
        ASSERT_TRUE(link_.IsOpen());
        ASSERT_TRUE(peer_.Accept());
    }

    LoopbackPeer peer_;
    SocketTransport link_{SocketAddress{"127.0.0.1", peer_.port()}, kShortTimeouts};
    uint8_t buffer_[kPacketBufferSize] = {};
};

TEST_F(SocketLinkTest, WriteSendsOneFrameAndReadReturnsOneFrame) {
    const std::vector<uint8_t> request = Counting(32);
    EXPECT_EQ(link_.Write(request.data(), uint32_t(request.size())), 32u);
    std::vector<uint8_t> seen;
    ASSERT_TRUE(peer_.ReceiveFrame(seen));
    EXPECT_EQ(seen, request);

    // Two frames queued back to back stay two transfers, even when a read could take both.
    ASSERT_TRUE(peer_.SendFrame(Counting(40)));
    ASSERT_TRUE(peer_.SendFrame(Counting(7)));
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 40u);
    EXPECT_EQ(std::vector<uint8_t>(buffer_, buffer_ + 40), Counting(40));
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 7u);
}

TEST_F(SocketLinkTest, ShortReadLeavesTheRestOfTheFrameForTheNextRead) {
    const std::vector<uint8_t> answer = Counting(100);
    ASSERT_TRUE(peer_.SendFrame(answer));
    ASSERT_TRUE(peer_.SendFrame({0xAA}));
    EXPECT_EQ(link_.Read(buffer_, 10), 10u);
    EXPECT_EQ(link_.Read(buffer_ + 10, 22), 22u);
    // The rest of the first frame, never running into the second.
    EXPECT_EQ(link_.Read(buffer_ + 32, 1000), 68u);
    EXPECT_EQ(std::vector<uint8_t>(buffer_, buffer_ + 100), answer);
    EXPECT_EQ(link_.Read(buffer_, 1000), 1u);
    EXPECT_EQ(buffer_[0], 0xAA);
}

TEST_F(SocketLinkTest, LargestFrameIsTaken) {
    const std::vector<uint8_t> answer(kMaxFrameLength, 0x5A);
    std::thread sender([&] { peer_.SendFrame(answer); });
    uint32_t got = 0;
    while (got < kMaxFrameLength) {
        const uint32_t n = link_.Read(buffer_ + got, kMaxFrameLength - got);
        if (n == 0) break;
        got += n;
    }
    sender.join();
    EXPECT_EQ(got, kMaxFrameLength);
    EXPECT_TRUE(link_.IsOpen());
}

TEST_F(SocketLinkTest, SilentPeerTimesOutAndTheLinkStaysInStep) {
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 0u);
    EXPECT_TRUE(link_.IsOpen());
    // Nothing of a frame was consumed, so a late frame is still read whole.
    ASSERT_TRUE(peer_.SendFrame(Counting(33)));
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 33u);
}

TEST_F(SocketLinkTest, ClosedLinkNullBufferAndZeroCountTransferNothing) {
    const uint8_t byte = 1;
    EXPECT_EQ(link_.Read(nullptr, 10), 0u);
    EXPECT_EQ(link_.Read(buffer_, 0), 0u);
    EXPECT_EQ(link_.Write(nullptr, 10), 0u);
    EXPECT_EQ(link_.Write(&byte, 0), 0u);
    EXPECT_TRUE(link_.IsOpen());
    EXPECT_EQ(link_.Close(), 0);
    EXPECT_EQ(link_.Close(), 0);
    EXPECT_FALSE(link_.IsOpen());
    EXPECT_EQ(link_.Write(&byte, 1), 0u);
    EXPECT_EQ(link_.Read(buffer_, 1), 0u);
    EXPECT_TRUE(peer_.SeesClose());
}

TEST_F(SocketLinkTest, OversizedWriteIsRefusedWithoutSending) {
    static uint8_t big[kMaxFrameLength + 1] = {};
    EXPECT_EQ(link_.Write(big, kMaxFrameLength + 1), 0u);
    EXPECT_EQ(link_.Write(big, 1), 1u);
    std::vector<uint8_t> seen;
    ASSERT_TRUE(peer_.ReceiveFrame(seen));
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(SocketLinkTest, CloseThenOpenConnectsAgain) {
    EXPECT_EQ(link_.Close(), 0);
    EXPECT_EQ(link_.Open(), 0);
    ASSERT_TRUE(peer_.Accept());
    ASSERT_TRUE(peer_.SendFrame(Counting(3)));
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 3u);
}

TEST_F(SocketLinkTest, OpenOnAnOpenLinkKeepsTheConnection) {
    EXPECT_EQ(link_.Open(), 0);
    ASSERT_TRUE(peer_.SendFrame(Counting(5)));
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 5u);
}

TEST_F(SocketLinkTest, WriteToAPeerThatLeftFailsAndDropsTheLink) {
    peer_.CloseConnection();
    const std::vector<uint8_t> request = Counting(64);
    // The first write may still be taken by the local stack; the peer's reset fails a later one.
    uint32_t result = 64;
    for (int i = 0; i < 50 && result != 0; ++i) {
        result = link_.Write(request.data(), 64);
        if (result != 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(result, 0u);
    EXPECT_FALSE(link_.IsOpen());
}

// Streams a broken peer may produce; each must fail the read at once (or within the short
// time limit) and drop the link, never hang or hand out bytes.
struct BrokenStream {
    const char* name;
    std::vector<uint8_t> bytes;
    bool peerCloses = true;
};

void PrintTo(const BrokenStream& stream, std::ostream* os) { *os << stream.name; }

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class BrokenPeerTest : public SocketLinkTest, public ::testing::WithParamInterface<BrokenStream> {};

TEST_P(BrokenPeerTest, ReadFailsAndDropsTheLink) {
    const BrokenStream& stream = GetParam();
    ASSERT_TRUE(peer_.SendRaw(stream.bytes));
    if (stream.peerCloses) peer_.CloseConnection();
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 0u);
    EXPECT_FALSE(link_.IsOpen());
    EXPECT_EQ(link_.Read(buffer_, sizeof buffer_), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, BrokenPeerTest,
    ::testing::Values(
        BrokenStream{"OneByteOverTheLargestFrame", {0x21, 0x00, 0x01, 0x00}},  // 65,569
        BrokenStream{"HugeLength", {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}},
        BrokenStream{"ClosedInsideTheLengthWord", {0x10, 0x00}},
        BrokenStream{"ClosedInsideTheBody", Concat({100, 0, 0, 0}, Counting(50))},
        BrokenStream{"ClosedBetweenFrames", {}},
        BrokenStream{"ZeroLengthFrame", {0, 0, 0, 0}},
        BrokenStream{"StalledInsideTheBody", Concat({100, 0, 0, 0}, Counting(10)), false},
        BrokenStream{"StalledInsideTheLengthWord", {0x10}, false}),
    [](const ::testing::TestParamInfo<BrokenStream>& param) { return std::string(param.param.name); });

TEST(SocketLinkOpen, RefusedConnectionIsAFailedOpenAndLaterSucceedsWhenThePeerIsBack) {
    uint16_t port;
    {
        LoopbackPeer gone;
        port = gone.port();
    }
    SocketTransport link(SocketAddress{"127.0.0.1", port}, kShortTimeouts);
    EXPECT_EQ(link.Open(), kErrorNoWriter);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.Close(), 0);
}

TEST(SocketLinkOpen, UnknownHostIsAFailedOpen) {
    SocketTransport link(SocketAddress{"no-such-host.invalid", 9}, kShortTimeouts);
    EXPECT_NE(link.Open(), 0);
    EXPECT_FALSE(link.IsOpen());
}

// The packet layer over the socket: a split answer arrives as several frames, and a
// response that fails leaves the link closed for every later command.
TEST_F(SocketLinkTest, PacketLayerReassemblesAnAnswerSentAsSeveralFrames) {
    CTolvaUsb device(link_);
    std::thread writer([&] {
        std::vector<uint8_t> request;
        if (!peer_.ReceiveFrame(request) || request.size() != kPacketHeaderSize) return;
        std::vector<uint8_t> answer(kPacketHeaderSize + 8, 0);
        answer[0] = 'Q';
        answer[1] = 'Z';
        std::copy(request.begin() + 2, request.begin() + 8, answer.begin() + 2);  // sequence, code
        StoreLe32(&answer[packet_offset::kLength], 8);
        StoreLe32(&answer[packet_offset::kParam0], 19);
        StoreLe32(&answer[packet_offset::kParam0 + 4], 0x02000000);
        StoreLe32(&answer[kPacketHeaderSize], 0);       // property 0
        StoreLe32(&answer[kPacketHeaderSize + 4], 14760);
        peer_.SendFrame({answer.begin(), answer.begin() + 10});
        peer_.SendFrame({answer.begin() + 10, answer.begin() + 32});
        peer_.SendFrame({answer.begin() + 32, answer.end()});
    });
    uint32_t version = 0;
    EXPECT_EQ(device.GetMachineInfo(nullptr, &version, nullptr, nullptr), 0);
    writer.join();
    EXPECT_EQ(device.machineType(), 19u);
    EXPECT_EQ(version, 0x02000000u);
    EXPECT_EQ(device.property0(), 14760u);
}

TEST(SocketAddressParse, AcceptsHostsAndRejectsWhatIsNotAnAddress) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {"tcp:127.0.0.1:5000", true, "127.0.0.1", 5000},
        {"tcp:localhost:1", true, "localhost", 1},
        {"tcp:[::1]:65535", true, "::1", 65535},
        {"tcp:writer.example:80", true, "writer.example", 80},
        {"127.0.0.1:5000", false, "", 0},
        {"tcp:127.0.0.1", false, "", 0},
        {"tcp::5000", false, "", 0},
        {"tcp:host:0", false, "", 0},
        {"tcp:host:65536", false, "", 0},
        {"tcp:host:12ab", false, "", 0},
        {"tcp:host:", false, "", 0},
        {"tcp:::1:5000", false, "", 0},
        {"tcp:[::1:5000", false, "", 0},
    };
    for (const Case& c : cases) {
        SocketAddress address;
        std::string error;
        EXPECT_EQ(ParseSocketAddress(c.text, address, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
        } else {
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace brevant
