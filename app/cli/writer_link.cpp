#include "app/cli/writer_link.h"

#include "device/socket_transport.h"
#include "sim/virtual_writer.h"
#include "sim/writer_settings.h"

namespace brevant {

bool WriterLink::Build(const CliOptions& options, Clock& clock, std::string& error) {
    if (options.simulate) {
        WriterSettings settings;
        ParseWriterSettings(options.simulateSettings, settings, error);  // checked while parsing options
        base_ = std::make_unique<VirtualWriter>(clock, settings);
    } else if (!options.writer.empty()) {
        SocketAddress address;
        ParseSocketAddress(options.writer, address, error);  // checked while parsing options
        base_ = std::make_unique<SocketTransport>(address);
    } else {
        // No USB transport on this platform yet: no writer is ever found.
        base_ = std::make_unique<NullTransport>();
    }
    if (!options.recordPath.empty()) {
        if (!trace_.Open(options.recordPath, error)) return false;
        recording_ = std::make_unique<RecordingTransport>(*base_, clock, trace_);
    }
    return true;
}

bool WriterLink::Finish(std::string& error) {
    if (!trace_.IsOpen()) return true;
    if (trace_.Close()) return true;
    error = trace_.error();
    return false;
}

}  // namespace brevant
