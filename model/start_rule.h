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
};

StartRefusal clickerStartRefusal(const ClickerSettings& c);
StartRefusal keySpamStartRefusal(const KeySpamSettings& k);
// The reason in words, for the page: "" for None.
const char* startRefusalText(StartRefusal refusal);
