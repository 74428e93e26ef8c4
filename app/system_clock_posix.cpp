// Local time from the C library's time-zone rules (TZ, /etc/localtime).

#include <time.h>

#include <chrono>
#include <thread>

#include "app/system_clock.h"

namespace brevant {

void SystemClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t SystemClock::MonotonicMilliseconds() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t SystemClock::UnixSeconds() {
    using namespace std::chrono;
    return int64_t(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

LocalTime SystemClock::ToLocal(int64_t unixSeconds) {
    const time_t t = time_t(unixSeconds);
    struct tm local {};
    LocalTime result;
    if (localtime_r(&t, &local) == nullptr) return result;
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec;
    result.utcOffsetSeconds = local.tm_gmtoff;
    return result;
}

}  // namespace brevant
