// The one rule that decides whether the auto-clicker or the key spammer may
// start with the settings they hold now. Every way of starting one (the
// page's Start, its hotkey, a pop-out panel, the command pipe) ends in the
// control thread, which asks it before switching an engine on.
#pragma once

#include <cstdint>

#include "model/state.h"

enum class StartRefusal : int32_t {
    None = 0,
    NoTimes,     // a counted run of 0 actions or fewer
    NoLength,    // a timed run of 0:0:0 or less
    NoInterval,  // an interval of 0 in a run that ends only when stopped or timed out: it would spin
    NoPoint,     // clicks at the fixed point, which was never picked or typed
    NoSteps,     // clicks a sequence that has no steps
};

// Whether the clicker's fixed point was ever set: picked or typed in this
// run, or read from a file as anything but the default 0,0.
bool fixedPointIsSet(const ClickerSettings& c);

// A step's wait as the clicker keeps it: a wait of 0 runs as 1 ms.
double stepWaitMs(const ClickStep& step);
// One pass over the live click sequence, in ms: the sum of its steps' waits,
// 0 when it has no steps. Takes profilesLock.
double liveSequencePassMs();
// passMs: liveSequencePassMs(), which takes the interval's place in a
// sequence.
StartRefusal clickerStartRefusal(const ClickerSettings& c, double passMs);
StartRefusal keySpamStartRefusal(const KeySpamSettings& k);
// The actions per second each engine's interval (or a sequence's pass)
// asks for; 0 for an interval of 0 (as fast as it goes).
double clickerAskedRate(const ClickerSettings& c, double passMs);
double keySpamAskedRate(const KeySpamSettings& k);

// The reason in words, for the page: "" for None.
const char* startRefusalText(StartRefusal refusal);
