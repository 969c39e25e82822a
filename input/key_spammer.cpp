// The key spammer: presses and releases one key at a fixed rate, each press
// due one interval after the previous one's due time, until stopped, for a
// counted run or for a timed one.
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
ActionSchedule keySpamSchedule;
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
    if (s.keySpamCount == 0) startSchedule(keySpamSchedule, s.keySpamRunStart);
    // Read once: a target changed mid-press must still get its own release.
    uint32_t target = uint32_t(k.keySpamTarget.load());
    platform::sendKeyEvent(target, true);
    platform::sendKeyEvent(target, false);
    s.keySpamCount.fetch_add(1);
    const int64_t frequency = engineFrequency();
    const double intervalMs = intervalMilliseconds(k.ksh, k.ksm, k.kss, k.ksms);
    const int64_t pressEnd = platform::perfCounter();
    countAction(keySpamRate, s.keySpamRate, pressEnd, frequency);
    const int64_t due = nextDeadline(keySpamSchedule, intervalTicks(intervalMs, frequency),
                                     humanisedOffsetTicks(intervalMs, k.ksRndMs, keySpamRandom, frequency), pressEnd);
    waitUntilCounter(deadlineWithinRun(due, timed, runMs, s.keySpamRunStart), s.keySpamming);
}

void keySpamThread() {
    while (appState().running) keySpamStep();
}
