#include "device/recording_transport.h"

namespace brevant {

RecordingTransport::RecordingTransport(Transport& inner, Clock& clock, TraceWriter& trace)
    : inner_(inner), clock_(clock), trace_(trace), start_(clock.MonotonicMilliseconds()) {
    // A replay long after the recording needs to know when it was made (the writer's clock).
    trace_.Append(TraceEvent::Start, 0, uint32_t(clock.UnixSeconds()), nullptr, 0);
}

uint64_t RecordingTransport::Elapsed() {
    const uint64_t now = clock_.MonotonicMilliseconds();
    return now >= start_ ? now - start_ : 0;
}

int RecordingTransport::Open() {
    const int result = inner_.Open();
    trace_.Append(TraceEvent::Open, Elapsed(), uint32_t(result), nullptr, 0);
    return result;
}

int RecordingTransport::Close() {
    const int result = inner_.Close();
    trace_.Append(TraceEvent::Close, Elapsed(), uint32_t(result), nullptr, 0);
    return result;
}

uint32_t RecordingTransport::Read(uint8_t* buffer, uint32_t n) {
    const uint32_t received = inner_.Read(buffer, n);
    trace_.Append(TraceEvent::Read, Elapsed(), n, buffer, received);
    return received;
}

uint32_t RecordingTransport::Write(const uint8_t* buffer, uint32_t n) {
    const uint32_t written = inner_.Write(buffer, n);
    trace_.Append(TraceEvent::Write, Elapsed(), written, buffer, n);
    return written;
}

}  // namespace brevant
