// The rate an engine actually achieves, so that a user sees at once when the
// machine cannot keep up with the interval asked for.
#pragma once

#include <atomic>
#include <cstdint>

// An engine thread's own count of the actions since its current window
// opened; the window closes at the first action a second or more after it
// opened, so a slow interval still gives one action per interval.
struct RateWindow {
    int64_t opened = 0;  // perfCounter at the window's first action
    int32_t actions = 0; // actions since then, not counting that first one
    bool open = false;
};

// Counts one action that ended at now, and when the window has lasted a
// second or more, publishes actions per second over it into rate and opens
// the next window at now. No allocation, no lock.
void countAction(RateWindow& window, std::atomic<double>& rate, int64_t now, int64_t frequency);

// A run has ended: the next one measures afresh and nothing is shown meanwhile.
void forgetRate(RateWindow& window, std::atomic<double>& rate);
