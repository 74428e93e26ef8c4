// Chunked image transfers (application, boot code, X-Loader) and the flash geometry block.

#include "common/byte_order.h"
#include "images/crc32.h"
#include "sim/virtual_writer.h"

namespace brevant {

namespace {

constexpr uint32_t kGeometrySelector = 4;
constexpr uint32_t kGeometryWords = 11;

uint32_t Checksum(const std::vector<uint8_t>& bytes) {
    Crc32 crc;
    crc.Add(bytes.data(), bytes.size());
    return crc.Value();
}

}  // namespace

SimReply VirtualWriter::TakeChunk(const SimRequest& request, TransferState& transfer, const ChunkRules& rules,
                                  FirmwareStore* erasedOnStart,
                                  void (VirtualWriter::*commit)(std::vector<uint8_t>&)) {
    if (std::optional<SimReply> busy = BusyWithFile()) {
        transfer = TransferState{};
        return *busy;
    }
    const PacketHeader& h = request.header;
    const uint32_t length = h.length;
    const uint32_t total = h.params[2];
    const uint32_t offset = h.params[3];
    auto abandon = [&transfer](uint32_t status) {
        transfer = TransferState{};
        return SimReply::Status(status);
    };
    if (h.params[4] != kTransferMarker || h.params[0] != rules.machineType || length == 0 ||
        length > rules.maxChunk || total == 0 || total > rules.capacity || total % rules.lengthMultiple != 0) {
        return abandon(kSimStatusBadRequest);
    }
    if (offset == 0) {
        // A first chunk starts a new transfer, whatever was going on before.
        if (!storage_.announcedCrc) return abandon(kSimStatusNoChecksum);
        transfer = TransferState{};
        transfer.active = true;
        transfer.total = total;
        transfer.param1 = h.params[1];
        transfer.expectedCrc = *storage_.announcedCrc;
        storage_.announcedCrc.reset();
        transfer.bytes.reserve(total);
    } else if (!transfer.active || total != transfer.total || h.params[1] != transfer.param1 ||
               offset != transfer.bytes.size()) {
        return abandon(kSimStatusBadTransfer);
    }
    if (uint64_t(offset) + length > total) return abandon(kSimStatusBadTransfer);

    WriteKnob& knob = settings_.knob(rules.component);
    if (TakeKnob(knob.refuse)) return abandon(kSimStatusRefused);
    // From the first chunk taken on, the old contents are gone.
    if (offset == 0 && erasedOnStart != nullptr) {
        erasedOnStart->state = FirmwareState::Invalid;
        erasedOnStart->image.clear();
    }
    const size_t at = transfer.bytes.size();
    transfer.bytes.insert(transfer.bytes.end(), request.payload.begin(), request.payload.end());
    if (TakeKnob(knob.corrupt)) transfer.bytes[at] = uint8_t(~transfer.bytes[at]);
    ++transfer.chunksTaken;

    if (transfer.bytes.size() < total) return SimReply::Next();
    // The writer verifies what it stored, not what was sent.
    const bool intact = Checksum(transfer.bytes) == transfer.expectedCrc;
    if (!intact) return abandon(kSimStatusChecksum);
    (this->*commit)(transfer.bytes);
    transfer = TransferState{};
    return SimReply::Next();
}

SimReply VirtualWriter::HandleProgramApp(const SimRequest& request) {
    // The application is programmed under the type the writer reports itself, also when the
    // host counts it as a neighbouring type.
    const ChunkRules rules{settings_.machineType, kMaxPayload, kSimAppCapacity, 1, WriterComponent::App};
    return TakeChunk(request, storage_.appTransfer, rules, &storage_.app, &VirtualWriter::CommitApp);
}

SimReply VirtualWriter::HandleProgramBoot(const SimRequest& request) {
    const MachineType type = HostIdentifiedType();
    // Writers that keep boot code in whole sectors take only whole sectors.
    const uint32_t multiple = (type == 16 || type == 17) && settings_.sectorSize != 0 ? settings_.sectorSize : 1;
    const ChunkRules rules{type, WriterChunkSize(), kSimBootCapacity, multiple, WriterComponent::Boot};
    return TakeChunk(request, storage_.bootTransfer, rules, &storage_.boot, &VirtualWriter::CommitBoot);
}

SimReply VirtualWriter::HandleProgramXLoader(const SimRequest& request) {
    const Region* region = storage_.FindRegion(kRegionXLoader);
    const ChunkRules rules{HostIdentifiedType(), WriterChunkSize(), region != nullptr ? region->size : 0, 1,
                           WriterComponent::XLoader};
    // The region keeps its old contents until a whole, verified X-Loader has arrived.
    return TakeChunk(request, storage_.xLoaderTransfer, rules, nullptr, &VirtualWriter::CommitXLoader);
}

SimReply VirtualWriter::HandleFlashGeometry(const SimRequest& request) {
    if (request.header.params[0] != kGeometrySelector) return SimReply::Status(kSimStatusBadRequest);
    SimReply reply = SimReply::Echo(request);
    reply.payload.assign(4 * kGeometryWords, 0);
    StoreLe32(&reply.payload[4 * 9], settings_.sectorSize);
    StoreLe32(&reply.payload[4 * 10], settings_.reservedSize);
    return reply;
}

}  // namespace brevant
