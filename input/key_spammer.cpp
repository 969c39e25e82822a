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
bool keySpamHoldsResolution = false;

uint32_t sendKeyRelease(uint32_t vk) { return platform::sendKeyEvent(vk, false); }
}

void keySpamStep() {
    AppState& s = appState();
    const KeySpamSettings& k = s.keySpam;
    holdTimerResolutionWhile(s.keySpamming, keySpamHoldsResolution);
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
    if (s.sessionAway) {
        waitForSessionReturn();
        return;
    }
    // Read once: a target changed mid-press must still get its own release.
    // A refused press is not counted; a refused release is sent again.
    uint32_t target = uint32_t(k.keySpamTarget.load());
    if (platform::sendKeyEvent(target, true) != 0) {
        sendReleaseUntilTaken(sendKeyRelease, target);
        s.keySpamCount.fetch_add(1);
    }
    const double intervalMs = humanisedIntervalMs(intervalMilliseconds(k.ksh, k.ksm, k.kss, k.ksms), k.ksRndMs, keySpamRandom);
    int64_t ticks = intervalTicks(intervalMs, engineFrequency());
    int64_t pressEnd = platform::perfCounter();
    countAction(keySpamRate, s.keySpamRate, pressEnd, engineFrequency());
    waitInterval(pressEnd, waitTicksAfterAction(ticks, timed, runMs, s.keySpamRunStart, pressEnd), s.keySpamming);
}

void keySpamThread() {
    platform::raiseEngineThreadPriority();
    while (appState().running) keySpamStep();
    holdTimerResolutionWhile(false, keySpamHoldsResolution);
}
