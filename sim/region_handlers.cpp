// Component regions by address: query, read back, prepare (erase) and block writes.

#include <algorithm>

#include "sim/virtual_writer.h"

namespace brevant {

namespace {

constexpr uint32_t kReadSelector = 4;
constexpr uint32_t kEraseUnit = 0x20000;

// The region that holds [address, address + count), or null.
Region* RegionHolding(WriterStorage& storage, uint32_t address, uint32_t count) {
    for (Region& r : storage.regions) {
        if (address >= r.start && uint64_t(address) + count <= uint64_t(r.start) + r.size) return &r;
    }
    return nullptr;
}

WriterComponent ComponentOf(uint32_t regionId) {
    switch (regionId) {
        case kRegionXLoader:
            return WriterComponent::XLoader;
        case kRegionWifiApp:
            return WriterComponent::WifiApp;
        default:
            return WriterComponent::WifiNvs;
    }
}

}  // namespace

SimReply VirtualWriter::HandleRegionQuery(const SimRequest& request) {
    const Region* region = storage_.FindRegion(request.header.params[0]);
    if (region == nullptr) return SimReply::Status(kSimStatusBadAddress);
    SimReply reply = SimReply::Echo(request);
    reply.params[0] = region->start;
    reply.params[1] = region->size;
    return reply;
}

SimReply VirtualWriter::HandleReadRegion(const SimRequest& request) {
    const uint32_t address = request.header.params[0];
    const uint32_t count = request.header.params[1];
    if (request.header.params[4] != kReadSelector || count == 0 || count > kMaxPayload) {
        return SimReply::Status(kSimStatusBadRequest);
    }
    const Region* region = RegionHolding(storage_, address, count);
    if (region == nullptr) return SimReply::Status(kSimStatusBadAddress);
    SimReply reply = SimReply::Echo(request);
    reply.params[0] = address;
    reply.params[1] = count;
    const auto from = region->bytes.begin() + (address - region->start);
    reply.payload.assign(from, from + count);
    return reply;
}

SimReply VirtualWriter::HandleRegionPrepare(const SimRequest& request) {
    const uint32_t start = request.header.params[0];
    const uint32_t size = request.header.params[1];
    for (Region& r : storage_.regions) {
        const uint64_t rounded = (uint64_t(r.size) + kEraseUnit - 1) / kEraseUnit * kEraseUnit;
        // The whole region, in whole erase units: no more, no less.
        if (r.start == start && size >= r.size && size <= rounded && size % kEraseUnit == 0) {
            std::fill(r.bytes.begin(), r.bytes.end(), uint8_t(0xFF));
            r.prepared = true;
            ++r.prepareCount;
            return SimReply::Echo(request);
        }
    }
    SimReply reply = SimReply::Status(kSimStatusBadAddress);
    reply.params[2] = start;
    return reply;
}

SimReply VirtualWriter::HandleRegionWrite(const SimRequest& request) {
    const uint32_t address = request.header.params[0];
    const uint32_t count = request.header.params[1];
    const auto& payload = request.payload;
    if (count == 0 || count > WriterChunkSize() || request.header.length != ((count + 31) & ~31u) ||
        std::any_of(payload.begin() + count, payload.end(), [](uint8_t b) { return b != 0; })) {
        return SimReply::Status(kSimStatusBadRequest);
    }
    Region* region = RegionHolding(storage_, address, count);
    if (region == nullptr) return SimReply::Status(kSimStatusBadAddress);
    if (!region->prepared) return SimReply::Status(kSimStatusNotPrepared);
    WriteKnob& knob = settings_.knob(ComponentOf(region->id));
    if (TakeKnob(knob.refuse)) return SimReply::Status(kSimStatusRefused);
    const auto at = region->bytes.begin() + (address - region->start);
    std::copy(payload.begin(), payload.begin() + count, at);
    if (TakeKnob(knob.corrupt)) *at = uint8_t(~*at);
    ++region->writeCount;
    return SimReply::Next();
}

}  // namespace brevant
