#include "sim/virtual_clock.h"

#include <numeric>

namespace brevant {

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    // Days-to-civil conversion over 400-year eras; exact for every date we can meet.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

LocalTime VirtualClock::ToLocal(int64_t unixSeconds) {
    const int64_t local = unixSeconds + utcOffset_;
    int64_t days = local / 86400;
    int64_t rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    LocalTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = int(rest / 3600);
    t.minute = int(rest / 60 % 60);
    t.second = int(rest % 60);
    t.utcOffsetSeconds = utcOffset_;
    return t;
}

uint64_t VirtualClock::totalSleptMilliseconds() const {
    return std::accumulate(sleeps_.begin(), sleeps_.end(), uint64_t{0});
}

}  // namespace brevant
