#pragma once
// An in-process writer behind the transport interface: it parses each request packet,
// answers it as a writer would, records it in a transcript, and can be told to misbehave
// at a chosen exchange. Command handling lives in one file per command family.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/packet.h"
#include "device/transport.h"
#include "sim/writer_settings.h"

namespace brevant {

struct SimRequest {
    PacketHeader header;
    std::vector<uint8_t> payload;
    uint32_t bytesWritten = 0;  // what the Write call carried, header included
    bool wellFormed = true;     // magic present and length consistent with the bytes written
    uint64_t atMilliseconds = 0;
};

struct SimReply {
    CommandCode code = 0;
    uint32_t params[5] = {0, 0, 0, 0, 0};
    std::vector<uint8_t> payload;
    bool silent = false;  // no answer at all: the host's read fails

    static SimReply Echo(const SimRequest& request) {
        SimReply r;
        r.code = request.header.code;
        return r;
    }
    static SimReply Status(uint32_t status) {
        SimReply r;
        r.code = RSP_STATUS;
        r.params[0] = status;
        return r;
    }
    static SimReply Next() {
        SimReply r;
        r.code = RSP_NEXT;
        return r;
    }
};

enum class FaultKind {
    NoAnswer,       // the request is taken but never answered
    WrongMagic,     // the answer starts with other bytes than "QZ"
    WrongSequence,  // the answer carries sequence + value (value is signed: -1, +1, ...)
    SplitAnswer,    // the answer arrives in pieces of the given sizes (the rest in one more)
    ExtraBytes,     // `value` bytes of another packet follow the answer in the same read
    OtherCode,      // the answer carries code `value` instead of its own
    Status,         // the answer is RSP_STATUS with status code `value`
};

struct Fault {
    FaultKind kind = FaultKind::NoAnswer;
    int64_t value = 0;
    std::vector<uint32_t> pieces;
};

// Status code a writer answers to commands it does not know.
inline constexpr uint32_t kSimStatusUnknownCommand = 0x80;

class VirtualWriter : public Transport {
public:
    explicit VirtualWriter(Clock& clock, WriterSettings settings = {});

    // Transport.
    int Open() override;
    bool IsOpen() const override { return open_; }
    uint32_t Read(uint8_t* buffer, uint32_t n) override;
    uint32_t Write(const uint8_t* buffer, uint32_t n) override;
    int Close() override;

    // Misbehaviour. Exchanges are counted from 0 over every request the writer received.
    void FailExchange(uint32_t exchangeIndex, Fault fault);
    // The next `times` requests with this code misbehave.
    void FailCommand(CommandCode code, Fault fault, uint32_t times = 1);

    // Presence on the bus: an unplugged writer cannot be opened, and unplugging drops the link.
    void Unplug();
    void Plug() { present_ = true; }
    bool present() const { return present_; }

    const std::vector<SimRequest>& transcript() const { return transcript_; }
    std::vector<CommandCode> TranscriptCodes() const;
    void ClearTranscript() { transcript_.clear(); }
    uint32_t openCount() const { return openCount_; }

    WriterSettings& settings() { return settings_; }
    const WriterSettings& settings() const { return settings_; }

private:
    SimReply Handle(const SimRequest& request);
    SimReply HandleMachineInfo(const SimRequest& request);
    SimReply HandleBootVersions(const SimRequest& request);

    std::optional<Fault> TakeFault(uint32_t exchangeIndex, CommandCode code);
    void QueueReply(const SimRequest& request, SimReply reply, const std::optional<Fault>& fault);

    Clock& clock_;
    WriterSettings settings_;
    bool open_ = false;
    bool present_ = true;
    uint32_t openCount_ = 0;
    std::vector<SimRequest> transcript_;
    std::deque<std::vector<uint8_t>> pendingReads_;
    struct ExchangeFault {
        uint32_t index;
        Fault fault;
    };
    struct CommandFault {
        CommandCode code;
        Fault fault;
        uint32_t times;
    };
    std::vector<ExchangeFault> exchangeFaults_;
    std::vector<CommandFault> commandFaults_;
};

}  // namespace brevant
