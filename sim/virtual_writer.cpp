// The virtual writer's link: framing of what the host writes and reads, faults, transcript.

#include "sim/virtual_writer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/byte_order.h"

namespace brevant {

VirtualWriter::VirtualWriter(Clock& clock, WriterSettings settings)
    : clock_(clock), settings_(std::move(settings)) {
    SeedStorage();
}

int VirtualWriter::Open() {
    if (open_ && !linkStale_) return 0;
    // A handle left over from before a restart is useless; a failed Open leaves it closed.
    open_ = false;
    linkStale_ = false;
    pendingReads_.clear();
    CheckBack();
    if (!present_ || away_) return kErrorNoWriter;
    open_ = true;
    ++openCount_;
    return 0;
}

int VirtualWriter::Close() {
    // A restart whose answer the host never read still happens.
    if (restartOnDrain_) Restart();
    open_ = false;
    linkStale_ = false;
    // Whatever the writer had still queued for the host is gone with the link.
    pendingReads_.clear();
    return 0;
}

void VirtualWriter::Unplug() {
    present_ = false;
    Close();
}

void VirtualWriter::Plug() {
    present_ = true;
    away_ = false;
    neverBack_ = false;
}

void VirtualWriter::Restart() {
    restartOnDrain_ = false;
    pendingReads_.clear();
    if (open_) linkStale_ = true;
    ++storage_.restarts;
    away_ = true;
    backAtMs_ = clock_.MonotonicMilliseconds() + uint64_t(settings_.restartSeconds) * 1000;
    // Without valid application or boot code there is nothing to start.
    const bool bootable = storage_.app.state != FirmwareState::Invalid || storage_.boot.state != FirmwareState::Invalid;
    neverBack_ = settings_.stayAway || !bootable;
    ComeBackRunning();
}

void VirtualWriter::CheckBack() {
    if (away_ && !neverBack_ && clock_.MonotonicMilliseconds() >= backAtMs_) away_ = false;
}

uint32_t VirtualWriter::Read(uint8_t* buffer, uint32_t n) {
    if (!open_ || linkStale_ || buffer == nullptr || n == 0 || pendingReads_.empty()) return 0;
    std::vector<uint8_t>& next = pendingReads_.front();
    const uint32_t count = std::min<uint32_t>(n, uint32_t(next.size()));
    std::memcpy(buffer, next.data(), count);
    if (count == next.size()) {
        pendingReads_.pop_front();
    } else {
        // Like a partial USB read: the rest of the transfer waits for the next read.
        next.erase(next.begin(), next.begin() + count);
    }
    // The answer to SetProgramMode(0) has reached the host; now the writer goes.
    if (restartOnDrain_ && pendingReads_.empty()) Restart();
    return count;
}

uint32_t VirtualWriter::Write(const uint8_t* buffer, uint32_t n) {
    if (!open_ || linkStale_ || buffer == nullptr || n == 0) return 0;
    SimRequest request;
    request.bytesWritten = n;
    request.atMilliseconds = clock_.MonotonicMilliseconds();
    if (n >= kPacketHeaderSize) {
        request.header = DecodePacketHeader(buffer);
        request.wellFormed = buffer[0] == kMagic0 && buffer[1] == kMagic1 &&
                             uint64_t(request.header.length) + kPacketHeaderSize == n;
        request.payload.assign(buffer + kPacketHeaderSize, buffer + n);
    } else {
        request.wellFormed = false;
    }
    const uint32_t index = uint32_t(transcript_.size());
    transcript_.push_back(request);

    // A writer ignores what it cannot frame; the host's read then finds nothing.
    if (request.wellFormed) {
        const std::optional<Fault> fault = TakeFault(index, request.header.code);
        SimReply reply = Handle(transcript_.back());
        // Only a writer that agreed to leave programming restarts; a fault that turns the
        // answer into a refusal stands for a writer that did not.
        const bool restarts = request.header.code == CMD_PROGRAM_MODE && request.header.params[0] == 0 &&
                              reply.code == CMD_PROGRAM_MODE &&
                              !(fault && (fault->kind == FaultKind::Status || fault->kind == FaultKind::OtherCode));
        QueueReply(transcript_.back(), std::move(reply), fault);
        if (restarts) {
            if (pendingReads_.empty()) {
                Restart();
            } else {
                restartOnDrain_ = true;
            }
        }
    }
    return n;
}

std::optional<Fault> VirtualWriter::TakeFault(uint32_t exchangeIndex, CommandCode code) {
    for (auto it = exchangeFaults_.begin(); it != exchangeFaults_.end(); ++it) {
        if (it->index == exchangeIndex) {
            Fault f = it->fault;
            exchangeFaults_.erase(it);
            return f;
        }
    }
    for (auto it = commandFaults_.begin(); it != commandFaults_.end(); ++it) {
        if (it->code == code && it->times > 0) {
            Fault f = it->fault;
            if (--it->times == 0) commandFaults_.erase(it);
            return f;
        }
    }
    return std::nullopt;
}

void VirtualWriter::QueueReply(const SimRequest& request, SimReply reply, const std::optional<Fault>& fault) {
    if (fault && fault->kind == FaultKind::NoAnswer) return;
    if (fault && fault->kind == FaultKind::Status) reply = SimReply::Status(uint32_t(fault->value));
    if (reply.silent) return;
    if (fault && fault->kind == FaultKind::OtherCode) reply.code = CommandCode(fault->value);

    std::vector<uint8_t> bytes(kPacketHeaderSize + reply.payload.size());
    bytes[0] = kMagic0;
    bytes[1] = kMagic1;
    uint32_t sequence = request.header.sequence;
    if (fault && fault->kind == FaultKind::WrongSequence) sequence = uint32_t(int64_t(sequence) + fault->value);
    if (fault && fault->kind == FaultKind::WrongMagic) bytes[1] = 'X';
    StoreLe32(&bytes[packet_offset::kSequence], sequence);
    StoreLe16(&bytes[packet_offset::kCode], reply.code);
    StoreLe32(&bytes[packet_offset::kLength], uint32_t(reply.payload.size()));
    for (int i = 0; i < 5; ++i) StoreLe32(&bytes[packet_offset::kParam0 + 4 * i], reply.params[i]);
    std::copy(reply.payload.begin(), reply.payload.end(), bytes.begin() + kPacketHeaderSize);

    if (fault && fault->kind == FaultKind::ExtraBytes) {
        bytes.insert(bytes.end(), size_t(fault->value), uint8_t(0x51));
    }
    if (fault && fault->kind == FaultKind::SplitAnswer) {
        size_t offset = 0;
        for (uint32_t piece : fault->pieces) {
            if (offset >= bytes.size()) break;
            const size_t take = std::min<size_t>(piece, bytes.size() - offset);
            pendingReads_.emplace_back(bytes.begin() + offset, bytes.begin() + offset + take);
            offset += take;
        }
        if (offset < bytes.size()) pendingReads_.emplace_back(bytes.begin() + offset, bytes.end());
        return;
    }
    pendingReads_.push_back(std::move(bytes));
}

void VirtualWriter::FailExchange(uint32_t exchangeIndex, Fault fault) {
    exchangeFaults_.push_back({exchangeIndex, std::move(fault)});
}

void VirtualWriter::FailCommand(CommandCode code, Fault fault, uint32_t times) {
    if (times > 0) commandFaults_.push_back({code, std::move(fault), times});
}

std::vector<CommandCode> VirtualWriter::TranscriptCodes() const {
    std::vector<CommandCode> codes;
    codes.reserve(transcript_.size());
    for (const SimRequest& r : transcript_) codes.push_back(r.header.code);
    return codes;
}

}  // namespace brevant
