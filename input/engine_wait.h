// Timing shared by the auto-clicker and the key spammer: the interval read
// from its four parts and a wait that ends on its deadline, not a poll later.
#pragma once

#include <atomic>
#include <cstdint>

// Ticks per second of platform::perfCounter, as read at start-up.
int64_t engineFrequency();

// hours, minutes, seconds and milliseconds combined in double precision, so
// no value of the parts can overflow; never less than 1 ms.
double intervalMilliseconds(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds);

// The interval as counter ticks, capped far beyond any real wait so that a
// deadline computed from it cannot overflow.
int64_t intervalTicks(double milliseconds, int64_t frequency);

// Waits until ticks have passed since start, or until active or running
// clears. Sleeps in 1 ms steps while more than 2 ms remain, so a stop takes
// effect within about a millisecond, then sleeps to the deadline itself.
void waitInterval(int64_t start, int64_t ticks, const std::atomic<bool>& active);

// The pause between the two clicks of a double click: at least 15 ms from the
// first release to the second press. Mostly asleep, exact at the end.
void waitDoubleClickGap();

// An engine that is off (auto-clicker, key spammer, playback) sleeps here
// until the control thread switches an engine on or the program ends
// (wakeIdleEngines), instead of waking every few ms to look. Every switch-on
// wakes it, so the look after kIdleCheckMs is only a backstop, as long as
// the other sleepers'.
void waitWhileIdle(const std::atomic<bool>& active);
void wakeIdleEngines();
constexpr int kIdleCheckMs = 1000;
