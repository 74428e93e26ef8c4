#pragma once
// Time reaches the core only through this interface, so a whole update run with its
// restarts and pauses can run in virtual time in the tests.

#include <cstdint>

namespace brevant {

struct LocalTime {
    int year = 1970;   // e.g. 2026
    int month = 1;     // 1..12
    int day = 1;       // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int64_t utcOffsetSeconds = 0;  // local = UTC + offset (daylight saving included)
};

class Clock {
public:
    virtual ~Clock() = default;

    // Blocks the caller for the given time (virtual clocks just advance).
    virtual void Sleep(uint32_t milliseconds) = 0;

    // Monotonic milliseconds since an arbitrary origin; for rates and traces.
    virtual uint64_t MonotonicMilliseconds() = 0;

    // Wall-clock seconds since 1970-01-01 00:00:00 UTC.
    virtual int64_t UnixSeconds() = 0;

    // Broken-down local time of a wall-clock instant, with its offset from UTC.
    virtual LocalTime ToLocal(int64_t unixSeconds) = 0;
};

}  // namespace brevant
