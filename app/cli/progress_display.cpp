#include "app/cli/progress_display.h"

#include <cstdio>

namespace brevant {

namespace {

constexpr int kBarWidth = 30;

// "12.5 KiB/s" for bytes, "9.8 blocks/s" for anything else.
std::string FormatRate(double perSecond, std::string_view unit) {
    char text[64];
    if (unit == "bytes") {
        const char* scale = "B/s";
        if (perSecond >= 1024.0 * 1024.0) {
            perSecond /= 1024.0 * 1024.0;
            scale = "MiB/s";
        } else if (perSecond >= 1024.0) {
            perSecond /= 1024.0;
            scale = "KiB/s";
        }
        std::snprintf(text, sizeof text, "%.1f %s", perSecond, scale);
    } else {
        std::snprintf(text, sizeof text, "%.1f %.*s/s", perSecond, int(unit.size()), unit.data());
    }
    return text;
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, bool isTerminal, Clock& clock)
    : out_(out), isTerminal_(isTerminal), clock_(clock) {}

bool ProgressDisplay::StartsNewTransfer(const ProgressEvent& event) const {
    return !active_ || event.what != what_ || event.unit != unit_ || event.total != total_ ||
           event.done < lastDone_;
}

std::string ProgressDisplay::RateText(const ProgressEvent& event, uint64_t nowMs) const {
    const uint64_t elapsed = nowMs - startMs_;
    if (elapsed == 0 || event.done < startDone_) return "-- " + std::string(event.unit) + "/s";
    return FormatRate(double(event.done - startDone_) * 1000.0 / double(elapsed), event.unit);
}

void ProgressDisplay::Show(const ProgressEvent& event) {
    const uint64_t now = clock_.MonotonicMilliseconds();
    const bool complete = event.done >= event.total;
    const uint64_t quarter = complete ? 4 : (event.done * 4) / event.total;
    const bool fresh = StartsNewTransfer(event);
    if (fresh) {
        Finish();
        active_ = true;
        what_ = event.what;
        unit_ = event.unit;
        total_ = event.total;
        startDone_ = event.done;
        startMs_ = now;
        lastWidth_ = 0;
    }
    lastDone_ = event.done;

    if (isTerminal_) {
        DrawBar(event, now);
        if (complete) {
            out_ << '\n';
            active_ = false;
        }
        out_.flush();
        return;
    }
    // Plain lines: the start, each further quarter, and the end with the rate.
    if (fresh) {
        WritePlainLine(event, now, false);
    } else if (complete) {
        WritePlainLine(event, now, true);
    } else if (quarter > lastQuarter_) {
        WritePlainLine(event, now, false);
    }
    lastQuarter_ = quarter;
    if (complete) active_ = false;
}

void ProgressDisplay::Finish() {
    if (active_ && isTerminal_ && lastWidth_ > 0) {
        out_ << '\n';
        out_.flush();
    }
    active_ = false;
}

void ProgressDisplay::DrawBar(const ProgressEvent& event, uint64_t nowMs) {
    const uint64_t shown = event.done > event.total ? event.total : event.done;
    const int filled = event.total == 0 ? kBarWidth : int(shown * kBarWidth / event.total);
    std::string line(event.what);
    line += " [";
    line.append(size_t(filled), '#');
    line.append(size_t(kBarWidth - filled), '-');
    line += "] ";
    line += std::to_string(event.done) + "/" + std::to_string(event.total) + " " + std::string(event.unit);
    line += "  " + RateText(event, nowMs);
    // Blank out what a longer earlier line left on the right; the padding stays on screen
    // too, so it counts toward what the next draw must cover.
    if (line.size() < lastWidth_) line.append(lastWidth_ - line.size(), ' ');
    lastWidth_ = line.size();
    out_ << '\r' << line;
}

void ProgressDisplay::WritePlainLine(const ProgressEvent& event, uint64_t nowMs, bool withRate) {
    out_ << event.what << ": " << event.done << "/" << event.total << " " << event.unit;
    if (withRate) out_ << ", " << RateText(event, nowMs);
    out_ << '\n';
    out_.flush();
}

}  // namespace brevant
