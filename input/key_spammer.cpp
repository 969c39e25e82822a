// The key spammer: presses and releases one key (with the modifiers held
// around it) at a fixed rate, each press due one interval after the previous
// one's due time, until stopped, for a counted run or for a timed one.
#include "capture/hotkeys.h"
#include "input/action_rate.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "input/typing.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "text/typed_text.h"

namespace {
// The key spammer thread's own.
RandomSource keySpamRandom;
RateWindow keySpamRate;
ActionSchedule keySpamSchedule;
bool keySpamHoldsResolution = false;
// The typer's text as characters, decoded again only when it changes.
std::u32string typerCharacters;
uint64_t typerTextSeen = UINT64_MAX;

uint32_t sendKeyRelease(uint32_t vk) { return platform::sendKeyEvent(vk, false); }

// The target between its modifiers: Shift, AltGr... go down first and up
// last, each release sent again until taken. False when the system refused
// the target's press: no press happened.
bool pressKeySpamTarget(uint32_t target, int32_t modifiers) {
    uint32_t modifierKeys[5];
    const int count = modifierKeysOf(modifiers, modifierKeys);
    for (int i = 0; i < count; ++i) platform::sendKeyEvent(modifierKeys[i], true);
    const bool pressed = platform::sendKeyEvent(target, true) != 0;
    if (pressed) sendReleaseUntilTaken(sendKeyRelease, target);
    for (int i = count - 1; i >= 0; --i) sendReleaseUntilTaken(sendKeyRelease, modifierKeys[i]);
    return pressed;
}

// The text, then Enter when asked for; one typed text is one action, and a
// text of which the system took nothing is none.
bool typeKeySpamText() {
    const KeyTyperSettings& t = appState().keyTyper;
    const uint64_t changes = t.textChanges.load();
    if (changes != typerTextSeen) {
        typerTextSeen = changes;
        decodeCharacters(keyTyperText(), typerCharacters);
    }
    return typeCharacters(typerCharacters, t.characterDelayMs, t.enter, appState().keySpamming) > 0;
}

}  // namespace

void forgetKeySpamThreadState() {
    keySpamRandom = RandomSource{};
    keySpamSchedule = ActionSchedule{};
    typerTextSeen = UINT64_MAX;
    forgetRate(keySpamRate, appState().keySpamRate);
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
    if (s.keySpamCount == 0) startSchedule(keySpamSchedule, s.keySpamRunStart);
    // Read once: a target changed mid-press must still get its own release.
    // A refused press is not counted.
    const bool acted = s.keyTyper.mode == SpamText
                           ? typeKeySpamText()
                           : pressKeySpamTarget(uint32_t(k.keySpamTarget.load()), k.keySpamTargetMods.load());
    if (acted) s.keySpamCount.fetch_add(1);
    const int64_t frequency = engineFrequency();
    const double intervalMs = intervalMilliseconds(k.ksh, k.ksm, k.kss, k.ksms);
    const int64_t pressEnd = platform::perfCounter();
    countAction(keySpamRate, s.keySpamRate, pressEnd, frequency);
    const int64_t due = nextDeadline(keySpamSchedule, intervalTicks(intervalMs, frequency),
                                     humanisedOffsetTicks(intervalMs, k.ksRndMs, keySpamRandom, frequency), pressEnd);
    waitUntilCounter(deadlineWithinRun(due, timed, runMs, s.keySpamRunStart), s.keySpamming);
}

void releaseKeySpamTarget() {
    const KeySpamSettings& k = appState().keySpam;
    platform::sendKeyEvent(uint32_t(k.keySpamTarget.load()), false);
    uint32_t modifierKeys[5];
    const int count = modifierKeysOf(k.keySpamTargetMods, modifierKeys);
    for (int i = 0; i < count; ++i) platform::sendKeyEvent(modifierKeys[i], false);
}

void keySpamThread() {
    platform::raiseEngineThreadPriority();
    while (appState().running) keySpamStep();
    holdTimerResolutionWhile(false, keySpamHoldsResolution);
}
