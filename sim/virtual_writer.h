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
#include "images/machine_catalogue.h"
#include "device/transport.h"
#include "sim/writer_settings.h"
#include "sim/writer_storage.h"

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

// Start addresses and sizes of the component regions the writer reports.
inline constexpr uint32_t kSimXLoaderStart = 0x00040000;
inline constexpr uint32_t kSimXLoaderSize = 0x00020000;
inline constexpr uint32_t kSimWifiAppStart = 0x00100000;
inline constexpr uint32_t kSimWifiAppSize = 0x00080000;
inline constexpr uint32_t kSimWifiNvsStart = 0x00180000;
inline constexpr uint32_t kSimWifiNvsSize = 0x00020000;

// Largest application and boot code image the writer's storage takes.
inline constexpr uint32_t kSimAppCapacity = 0x00800000;
inline constexpr uint32_t kSimBootCapacity = 0x00100000;

class VirtualWriter : public Transport {
public:
    explicit VirtualWriter(Clock& clock, WriterSettings settings = {});

    // Transport. After a restart the host's handle stays open (IsOpen) but nothing gets
    // through until it is closed and opened again, as with a real device leaving the bus.
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
    // Plug also brings back a writer that stayed away after a restart.
    void Unplug();
    void Plug();
    bool present() const { return present_; }

    // A restart as SetProgramMode(0) causes it: the link drops, the writer is off the bus for
    // restart-seconds (or for good with stay-away, or when neither application nor boot code
    // is valid), then runs its application, or its boot code when the application is missing.
    void Restart();
    // True while a restart keeps the writer off the bus.
    bool away() const { return away_; }

    // Everything the writer holds; tests inspect and preload it.
    WriterStorage& storage() { return storage_; }
    const WriterStorage& storage() const { return storage_; }
    // Copies bytes to the start of a region; false when the region is unknown or too small.
    bool LoadRegion(uint32_t regionId, const std::vector<uint8_t>& bytes);
    // The writer's clock: the host's local wall-clock seconds plus the clock offset.
    uint32_t WriterClock();

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
    // Control commands.
    SimReply HandleShowText(const SimRequest& request);
    SimReply HandleFileCheck(const SimRequest& request);
    SimReply HandleFileRelease(const SimRequest& request);
    SimReply HandleProgramMode(const SimRequest& request);
    SimReply HandleImageCrc(const SimRequest& request);
    SimReply HandleClock(const SimRequest& request);
    // Transfers.
    SimReply HandleProgramApp(const SimRequest& request);
    SimReply HandleProgramBoot(const SimRequest& request);
    SimReply HandleFlashGeometry(const SimRequest& request);
    SimReply HandleProgramXLoader(const SimRequest& request);
    // Regions.
    SimReply HandleRegionQuery(const SimRequest& request);
    SimReply HandleReadRegion(const SimRequest& request);
    SimReply HandleRegionPrepare(const SimRequest& request);
    SimReply HandleRegionWrite(const SimRequest& request);
    // Keyboard scanner.
    SimReply HandleSensorBoard(const SimRequest& request);

    // One chunk of an image transfer: checks it against the transfer so far and, with the
    // last chunk, the whole image against the announced checksum. `commit` takes the image.
    struct ChunkRules {
        MachineType machineType;
        uint32_t maxChunk;
        uint32_t capacity;
        uint32_t lengthMultiple;  // the total must be a multiple of this (1: any)
        WriterComponent component;
    };
    SimReply TakeChunk(const SimRequest& request, TransferState& transfer, const ChunkRules& rules,
                       FirmwareStore* erasedOnStart, void (VirtualWriter::*commit)(std::vector<uint8_t>&));
    void CommitApp(std::vector<uint8_t>& image);
    void CommitBoot(std::vector<uint8_t>& image);
    void CommitXLoader(std::vector<uint8_t>& image);
    // Status 3 with its flags when a file is open or real-time is active.
    std::optional<SimReply> BusyWithFile() const;
    // The type the host computes from our identification (clamped and remapped).
    MachineType HostIdentifiedType() const;
    uint32_t WriterChunkSize() const;
    int64_t HostLocalSeconds();
    void SeedStorage();
    void ComeBackRunning();
    void CheckBack();

    std::optional<Fault> TakeFault(uint32_t exchangeIndex, CommandCode code);
    void QueueReply(const SimRequest& request, SimReply reply, const std::optional<Fault>& fault);

    Clock& clock_;
    WriterSettings settings_;
    WriterStorage storage_;
    bool open_ = false;
    bool present_ = true;
    bool linkStale_ = false;      // restarted under an open handle: nothing gets through
    bool restartOnDrain_ = false;  // restart once the host has read the pending answer
    bool away_ = false;
    bool neverBack_ = false;
    uint64_t backAtMs_ = 0;
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
