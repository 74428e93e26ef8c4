#pragma once
// A transport whose answers each test scripts: it records every write and answers through a
// responder (or hands out raw byte pieces), so a test can give the device object replies
// no well-behaved writer would send.

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/user_interface.h"
#include "device/packet.h"
#include "device/transport.h"

namespace brevant::test {

struct Sent {
    PacketHeader header;
    std::vector<uint8_t> payload;
};

struct Answer {
    CommandCode code = 0;
    uint32_t params[5] = {0, 0, 0, 0, 0};
    std::vector<uint8_t> payload;
    bool none = false;  // nothing comes back

    static Answer Code(CommandCode c) {
        Answer a;
        a.code = c;
        return a;
    }
    static Answer Status(uint32_t status, uint32_t p1 = 0, uint32_t p2 = 0) {
        Answer a = Code(RSP_STATUS);
        a.params[0] = status;
        a.params[1] = p1;
        a.params[2] = p2;
        return a;
    }
    static Answer Silence() {
        Answer a;
        a.none = true;
        return a;
    }
};

inline std::vector<uint8_t> Frame(uint32_t sequence, const Answer& a) {
    std::vector<uint8_t> bytes(kPacketHeaderSize + a.payload.size());
    bytes[0] = kMagic0;
    bytes[1] = kMagic1;
    StoreLe32(&bytes[packet_offset::kSequence], sequence);
    StoreLe16(&bytes[packet_offset::kCode], a.code);
    StoreLe32(&bytes[packet_offset::kLength], uint32_t(a.payload.size()));
    for (int i = 0; i < 5; ++i) StoreLe32(&bytes[packet_offset::kParam0 + 4 * i], a.params[i]);
    if (!a.payload.empty()) std::memcpy(&bytes[kPacketHeaderSize], a.payload.data(), a.payload.size());
    return bytes;
}

class FakeTransport final : public Transport {
public:
    // Default: every request is echoed.
    std::function<Answer(const Sent&)> respond = [](const Sent& s) { return Answer::Code(s.header.code); };
    std::vector<Sent> sent;
    // Raw pieces handed out one per Read before anything the responder produced.
    std::deque<std::vector<uint8_t>> rawReads;
    bool failWrites = false;

    int Open() override {
        open_ = true;
        return 0;
    }
    bool IsOpen() const override { return open_; }
    int Close() override {
        open_ = false;
        reads_.clear();
        return 0;
    }
    uint32_t Write(const uint8_t* buffer, uint32_t n) override {
        if (!open_ || buffer == nullptr || n < kPacketHeaderSize) return 0;
        Sent s;
        s.header.sequence = LoadLe32(buffer + packet_offset::kSequence);
        s.header.code = LoadLe16(buffer + packet_offset::kCode);
        s.header.length = LoadLe32(buffer + packet_offset::kLength);
        for (int i = 0; i < 5; ++i) s.header.params[i] = LoadLe32(buffer + packet_offset::kParam0 + 4 * i);
        s.payload.assign(buffer + kPacketHeaderSize, buffer + n);
        sent.push_back(s);
        if (failWrites) return 0;
        const Answer a = respond(s);
        if (!a.none) reads_.push_back(Frame(s.header.sequence, a));
        return n;
    }
    uint32_t Read(uint8_t* buffer, uint32_t n) override {
        if (!open_ || buffer == nullptr || n == 0) return 0;
        std::deque<std::vector<uint8_t>>& queue = rawReads.empty() ? reads_ : rawReads;
        if (queue.empty()) return 0;
        std::vector<uint8_t>& next = queue.front();
        const uint32_t count = n < next.size() ? n : uint32_t(next.size());
        std::memcpy(buffer, next.data(), count);
        if (count == next.size()) {
            queue.pop_front();
        } else {
            next.erase(next.begin(), next.begin() + count);
        }
        return count;
    }

    std::vector<CommandCode> Codes() const {
        std::vector<CommandCode> codes;
        for (const Sent& s : sent) codes.push_back(s.header.code);
        return codes;
    }
    std::vector<Sent> SentWith(CommandCode code) const {
        std::vector<Sent> out;
        for (const Sent& s : sent) {
            if (s.header.code == code) out.push_back(s);
        }
        return out;
    }

private:
    bool open_ = false;
    std::deque<std::vector<uint8_t>> reads_;
};

// Answers CMD_MACHINE_INFO with the given identity and everything else through `rest`.
inline std::function<Answer(const Sent&)> Identity(uint32_t type, uint32_t version, uint32_t bootFlag,
                                                   uint32_t build,
                                                   std::function<Answer(const Sent&)> rest = nullptr) {
    return [=](const Sent& s) {
        if (s.header.code == CMD_MACHINE_INFO) {
            Answer a = Answer::Code(CMD_MACHINE_INFO);
            a.params[0] = type;
            a.params[1] = version;
            a.params[2] = bootFlag;
            a.params[3] = build;
            return a;
        }
        return rest ? rest(s) : Answer::Code(s.header.code);
    };
}

struct RecordingUi final : UserInterface {
    struct Box {
        std::string text;
        std::string caption;
        BoxIcon icon;
    };
    std::vector<Box> boxes;
    std::vector<std::string> statusTexts;
    std::vector<ProgressEvent> progress;
    std::vector<std::string> progressLabels;

    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void ShowMessage(std::string_view text, std::string_view caption, BoxIcon icon) override {
        boxes.push_back({std::string(text), std::string(caption), icon});
    }
    bool AskYesNo(std::string_view, std::string_view) override { return false; }
    void ReportProgress(const ProgressEvent& event) override {
        progress.push_back(event);
        progressLabels.emplace_back(event.what);
    }
};

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(seed + i * 7 + (i >> 8));
    return bytes;
}

}  // namespace brevant::test
