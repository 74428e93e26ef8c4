#pragma once
// A transport that passes everything through to another one and writes each operation to
// a trace (device/trace_file.h): the open and close results, every write with its bytes
// and result, every read with the count asked for and the bytes received. Sits at the
// seam, so any link (USB, socket, virtual writer) can be recorded the same way.

#include <cstdint>

#include "common/clock.h"
#include "device/trace_file.h"
#include "device/transport.h"

namespace brevant {

class RecordingTransport final : public Transport {
public:
    // All three belong to the caller and must outlive this object. Times in the trace are
    // milliseconds since construction, by `clock`; construction writes the start record.
    RecordingTransport(Transport& inner, Clock& clock, TraceWriter& trace);

    int Open() override;
    bool IsOpen() const override { return inner_.IsOpen(); }
    uint32_t Read(uint8_t* buffer, uint32_t n) override;
    uint32_t Write(const uint8_t* buffer, uint32_t n) override;
    int Close() override;

private:
    uint64_t Elapsed();

    Transport& inner_;
    Clock& clock_;
    TraceWriter& trace_;
    uint64_t start_;
};

}  // namespace brevant
