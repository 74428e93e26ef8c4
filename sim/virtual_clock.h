#pragma once
// Time that only moves when someone sleeps: whole update runs, restarts included, take
// milliseconds of real time and every pause can be asserted on.

#include <cstdint>
#include <vector>

#include "common/clock.h"

namespace brevant {

class VirtualClock final : public Clock {
public:
    // 2026-12-10 09:00:00 UTC by default, an ordinary winter morning.
    explicit VirtualClock(int64_t startUnixSeconds = 1796893200, int64_t utcOffsetSeconds = 0)
        : startUnix_(startUnixSeconds), utcOffset_(utcOffsetSeconds) {}

    void Sleep(uint32_t milliseconds) override {
        nowMs_ += milliseconds;
        sleeps_.push_back(milliseconds);
    }
    uint64_t MonotonicMilliseconds() override { return nowMs_; }
    int64_t UnixSeconds() override { return startUnix_ + int64_t(nowMs_ / 1000); }
    LocalTime ToLocal(int64_t unixSeconds) override;

    // Moves time without it counting as a pause of the program (a person reading a box).
    void Advance(uint64_t milliseconds) { nowMs_ += milliseconds; }
    void SetUtcOffset(int64_t seconds) { utcOffset_ = seconds; }

    const std::vector<uint32_t>& sleeps() const { return sleeps_; }
    uint64_t totalSleptMilliseconds() const;
    void ClearSleeps() { sleeps_.clear(); }

private:
    int64_t startUnix_;
    int64_t utcOffset_;
    uint64_t nowMs_ = 0;
    std::vector<uint32_t> sleeps_;
};

// Civil date of a count of days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t days, int& year, int& month, int& day);

}  // namespace brevant
