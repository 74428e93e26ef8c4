// What the update steps share: how a missing image or a refused transfer is reported.

#include "device/packet.h"
#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/update_run.h"

namespace brevant {

namespace {

constexpr const char* kOutOfMemoryText = "System too low on memory!";

}  // namespace

int UpdateEngine::ReportImageLoadFailure(ImageLoadError error, uint32_t resourceId, bool logOutOfMemory) {
    RunMessage m;
    switch (error) {
        case ImageLoadError::OutOfMemory:
            return ReportOutOfMemory(logOutOfMemory);
        case ImageLoadError::UnknownResource:
            m.Format("Built-in image %u is missing from this program.", unsigned(resourceId));
            break;
        case ImageLoadError::None:
        case ImageLoadError::MalformedContainer:
        case ImageLoadError::CorruptStream:
        default:
            // Sending a damaged image would be worse than stopping: the writer would refuse
            // it at best.
            m.Format("Built-in image %u is damaged and cannot be sent.", unsigned(resourceId));
            break;
    }
    log_.Line(m.c_str());
    ui_.ShowError(m.c_str());
    return 1;
}

int UpdateEngine::ReportOutOfMemory(bool logIt) {
    RunMessage m;
    m.Format("%s", kOutOfMemoryText);
    if (logIt) log_.Line(m.c_str());
    ui_.ShowError(m.c_str());
    return 1;
}

int UpdateEngine::ReportTransferFailure(int code, const char* machineName) {
    device_.ShowText("Failure in updating machine.");
    RunMessage m;
    if (code == int(kStatusFileOpen)) {
        m.Format("Unable to program your writer.\nPlease close any open files on your %s", machineName);
    } else {
        m.Format("Unable to program your writer.  Error Code %d", code);
    }
    log_.Line(m.c_str());
    ui_.ShowError(m.c_str());
    return 5;
}

}  // namespace brevant
