#pragma once
// The link brevant-update talks through: the virtual writer, a socket link or (until this
// platform has one) no USB transport, optionally recorded to a trace.

#include <memory>
#include <string>

#include "app/cli/cli_options.h"
#include "common/clock.h"
#include "device/recording_transport.h"
#include "device/trace_file.h"
#include "device/transport.h"

namespace brevant {

class WriterLink {
public:
    // False with `error` when the trace cannot be created.
    bool Build(const CliOptions& options, Clock& clock, std::string& error);
    Transport& transport() { return recording_ ? static_cast<Transport&>(*recording_) : *base_; }
    // Closes the trace; false with `error` when recording it failed somewhere.
    bool Finish(std::string& error);

private:
    std::unique_ptr<Transport> base_;
    TraceWriter trace_;
    std::unique_ptr<RecordingTransport> recording_;
};

}  // namespace brevant
