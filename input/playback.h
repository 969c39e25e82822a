// Macro playback: the schedule and glide maths, kept pure so that tests can
// check due times and glide points, and the pass that uses them.
#pragma once

#include <cstdint>
#include <vector>

#include "model/state.h"

// Seconds from the pass's start at which an event recorded at time is due.
// A speed of 0 (or NaN) never comes due; a negative one is due at once.
double playbackDueSeconds(double time, float speed);

struct GlidePoint {
    int32_t x = 0, y = 0;
};

// Where the pointer stands at elapsed seconds on the straight way from the
// origin (at prevDue) to the target (at due), each coordinate truncated
// toward zero. Only meaningful when due > prevDue.
GlidePoint glidePoint(int32_t originX, int32_t originY, int32_t targetX, int32_t targetY,
                      double elapsed, double prevDue, double due);

// A thousand notches: the most one recorded scroll event may turn the wheel.
constexpr int32_t kMaxScrollDelta = 120000;
// The event's delta, capped to kMaxScrollDelta either way.
int32_t scrollDeltaToSend(int32_t delta);

// Whether a playback that has played this many passes plays another:
// always while it loops for ever, otherwise until it has played tloopTimes.
bool anotherPassFollows(int32_t passesPlayed, const TrackerSettings& tracker);

// Plays one pass of the list from now on; returns false when it was cut
// short because playing or running cleared.
bool playPass(const std::vector<MacroEvent>& events);
// Releases every key and button that playback pressed and has not released
// (the playback thread does so whenever playback ends). Playback thread only.
void releaseHeldPlaybackInput();

// The body of the playback worker thread; runs until running is cleared.
void playbackThread();
