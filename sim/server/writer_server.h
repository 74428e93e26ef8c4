#pragma once
// The standalone writer's two ways of serving an updater over the socket link: live, by a
// virtual writer, and replaying a recorded run. One updater at a time; output goes to
// `out` (progress) as it happens.

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/clock.h"
#include "sim/server/server_socket.h"
#include "sim/virtual_writer.h"

namespace brevant {

struct ServerAddress {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
};

// Serves the virtual writer until a stop signal; then prints the summary. Returns the
// process exit status (0 after a stop signal, 1 when it cannot listen).
int ServeWriter(VirtualWriter& writer, const ServerAddress& address, StopSignals& signals, std::FILE* out);

// Replays the trace at `tracePath`. Returns 0 when the updater made every recorded request
// and closed, 1 at the first difference (reported on `out`), 2 when the trace cannot be
// used or the address cannot be listened on, 3 when stopped before the replay was complete.
int ReplayTrace(const std::string& tracePath, const ServerAddress& address, Clock& clock, StopSignals& signals,
                std::FILE* out);

}  // namespace brevant
