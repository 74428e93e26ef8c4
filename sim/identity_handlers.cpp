// What the writer says about itself.

#include "common/byte_order.h"
#include "sim/virtual_writer.h"

namespace brevant {

SimReply VirtualWriter::HandleMachineInfo(const SimRequest& request) {
    SimReply reply = SimReply::Echo(request);
    reply.params[0] = settings_.machineType;
    reply.params[1] = settings_.bootFlag != 0 ? settings_.mainBootVersion : settings_.appVersion;
    reply.params[2] = settings_.bootFlag;
    reply.params[3] = settings_.bootFlag != 0 ? settings_.mainBootBuild : settings_.appBuild;
    if (settings_.reportScannerVersion) {
        reply.payload.resize(8);
        StoreLe32(&reply.payload[0], 0);
        StoreLe32(&reply.payload[4], settings_.scannerVersion);
    }
    return reply;
}

SimReply VirtualWriter::HandleBootVersions(const SimRequest& request) {
    SimReply reply = SimReply::Echo(request);
    reply.params[0] = settings_.mainBootVersion;
    reply.params[1] = settings_.mainBootBuild;
    reply.params[2] = settings_.secondaryBootVersion;
    reply.params[3] = settings_.secondaryBootBuild;
    return reply;
}

}  // namespace brevant
