#pragma once
// The real clock: real pauses, the system's wall clock and its time-zone rules.

#include "common/clock.h"

namespace brevant {

class SystemClock final : public Clock {
public:
    void Sleep(uint32_t milliseconds) override;
    uint64_t MonotonicMilliseconds() override;
    int64_t UnixSeconds() override;
    LocalTime ToLocal(int64_t unixSeconds) override;
};

}  // namespace brevant
