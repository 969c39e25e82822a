// The key spammer: presses and releases one key at a fixed interval, until
// stopped, for a counted run or for a timed one.
#include "input/action_rate.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"

namespace {
// The key spammer thread's own.
RandomSource keySpamRandom;
RateWindow keySpamRate;
}

void forgetKeySpamThreadState() {
    keySpamRandom = RandomSource{};
    forgetRate(keySpamRate, appState().keySpamRate);
}

void keySpamStep() {
    AppState& s = appState();
    const KeySpamSettings& k = s.keySpam;
    if (!s.keySpamming) {
        s.keySpamCount = 0;
        forgetRate(keySpamRate, s.keySpamRate);
        waitWhileIdle(s.keySpamming);
        return;
    }
    const bool timed = k.ksRptMode == RunTimed;
    const double runMs = runMilliseconds(k.ksRunH, k.ksRunM, k.ksRunS);
    if ((k.ksRptMode == RunCounted && s.keySpamCount >= k.ksRptTimes) ||
        timedRunOver(timed, runMs, s.keySpamCount, s.keySpamRunStart, platform::perfCounter())) {
        s.keySpamming = false;
        return;
    }
    // Read once: a target changed mid-press must still get its own release.
    uint32_t target = uint32_t(k.keySpamTarget.load());
    platform::sendKeyEvent(target, true);
    platform::sendKeyEvent(target, false);
    s.keySpamCount.fetch_add(1);
    const double intervalMs = humanisedIntervalMs(intervalMilliseconds(k.ksh, k.ksm, k.kss, k.ksms), k.ksRndMs, keySpamRandom);
    int64_t ticks = intervalTicks(intervalMs, engineFrequency());
    int64_t pressEnd = platform::perfCounter();
    countAction(keySpamRate, s.keySpamRate, pressEnd, engineFrequency());
    waitInterval(pressEnd, waitTicksAfterAction(ticks, timed, runMs, s.keySpamRunStart, pressEnd), s.keySpamming);
}

void keySpamThread() {
    while (appState().running) keySpamStep();
}
