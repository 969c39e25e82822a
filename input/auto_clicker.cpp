// The auto-clicker: clicks one button at a fixed rate, each click action due
// one interval after the previous one's due time (not after its end),
// optionally at a fixed point, until stopped, for a counted run or for a
// timed one; each due time, the hold and the point may vary at random by a
// set spread. In a sequence, each step clicks at its own point and its own
// wait takes the interval's place; a pass over the steps is one action.
#include <algorithm>
#include <array>
#include <mutex>

#include "input/action_rate.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "model/mouse_flags.h"
#include "model/settings_fields.h"
#include "model/start_rule.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"

namespace {

struct ButtonFlags {
    uint32_t press = 0, release = 0;
};

// Any other button value still sends its two (empty) records, so a counted
// run with it advances and ends like any other.
ButtonFlags clickerButtonFlags(int32_t button) {
    switch (button) {
    case 0: return {mouse_flags::LeftDown, mouse_flags::LeftUp};
    case 1: return {mouse_flags::RightDown, mouse_flags::RightUp};
    case 2: return {mouse_flags::MiddleDown, mouse_flags::MiddleUp};
    default: return {};
    }
}

// The clicker thread's own; tests step the engine from one thread too.
RandomSource clickerRandom;
RateWindow clickerRate;
ActionSchedule clickerSchedule;
bool clickerHoldsResolution = false;

uint32_t sendButtonRelease(uint32_t flags) { return platform::sendMouseInput(0, 0, 0, flags); }

// The press is held up to holdMs; a stop cuts the hold short, and the
// release still follows, sent again until taken. False when the system
// refused the press: no click happened.
bool clickOnce(ButtonFlags flags, int32_t holdMs) {
    if (platform::sendMouseInput(0, 0, 0, flags.press) == 0) return false;
    if (holdMs > 0) {
        const double hold = uniformBetween(clickerRandom, 0.0, double(holdMs));
        waitInterval(platform::perfCounter(), intervalTicks(hold, engineFrequency()), appState().autoClicking);
    }
    sendReleaseUntilTaken(sendButtonRelease, flags.release);
    return true;
}

int32_t clampedCoordinate(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// One click action: at a point, or (atPoint false) under the pointer. The
// spreads of the hold and the area are the clicker's.
struct ClickTarget {
    bool atPoint = false;
    int32_t x = 0, y = 0;
    int32_t button = 0, type = 0;
};

// Whether the click (or the double click's first) happened.
bool doClickAction(const ClickTarget& target, const ClickerSettings& c) {
    const int32_t area = std::clamp<int32_t>(c.areaPx, 0, kMaxAreaPx);
    const int32_t dx = area > 0 ? uniformInteger(clickerRandom, -area, area) : 0;
    const int32_t dy = area > 0 ? uniformInteger(clickerRandom, -area, area) : 0;
    int32_t pointerX = 0, pointerY = 0;
    // Around the pointer: moved off it for the click and put back after.
    const bool aroundPointer = !target.atPoint && area > 0 && platform::cursorPosition(pointerX, pointerY);
    if (target.atPoint) {
        platform::moveCursorAbsolute(clampedCoordinate(int64_t(target.x) + dx), clampedCoordinate(int64_t(target.y) + dy));
    } else if (aroundPointer) {
        platform::moveCursorAbsolute(clampedCoordinate(int64_t(pointerX) + dx), clampedCoordinate(int64_t(pointerY) + dy));
    }
    const ButtonFlags flags = clickerButtonFlags(target.button);
    const bool clicked = clickOnce(flags, c.holdMs);
    if (clicked && target.type == 1) {
        waitDoubleClickGap();
        clickOnce(flags, c.holdMs);
    }
    if (aroundPointer) platform::moveCursorAbsolute(pointerX, pointerY);
    return clicked;
}

// The steps a sequence run goes through, copied from the live list at the
// start of each pass into room of the thread's own, so an edit takes effect
// from the next pass and the run allocates nothing.
struct SequenceRun {
    std::array<ClickStep, kMaxClickSteps> steps;
    size_t count = 0;
    size_t next = 0;  // the step done next; 0 at the start of a pass
};
SequenceRun clickerSequence;

void copySteps(SequenceRun& run) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    run.count = std::min(s.clickSteps.size(), kMaxClickSteps);
    std::copy_n(s.clickSteps.begin(), run.count, run.steps.begin());
}

// The next step of the sequence: its click, then its wait, humanised as the
// interval is. The pass's last step makes the pass one action of the run. A
// step the system refused is tried again after its wait.
void sequenceStep(AppState& s, const ClickerSettings& c, bool timed, double runMs) {
    SequenceRun& run = clickerSequence;
    if (run.next == 0) copySteps(run);
    if (run.count == 0) {
        s.autoClicking = false;  // nothing to click: the run ends as a finished one does
        return;
    }
    const ClickStep& step = run.steps[run.next];
    const bool clicked = doClickAction({true, step.x, step.y, step.button, step.type}, c);
    const int64_t frequency = engineFrequency();
    const int64_t clickEnd = platform::perfCounter();
    if (clicked) run.next = (run.next + 1) % run.count;
    if (clicked && run.next == 0) {
        s.clickCount.fetch_add(1);
        countAction(clickerRate, s.clickRate, clickEnd, frequency);
    }
    const double waitMs = stepWaitMs(step);
    const int64_t due = nextDeadline(clickerSchedule, intervalTicks(waitMs, frequency),
                                     humanisedOffsetTicks(waitMs, c.rndMs, clickerRandom, frequency), clickEnd);
    waitUntilCounter(deadlineWithinRun(due, timed, runMs, s.clickerRunStart), s.autoClicking);
}

}  // namespace

void forgetAutoClickerThreadState() {
    clickerRandom = RandomSource{};
    clickerSchedule = ActionSchedule{};
    clickerSequence.count = clickerSequence.next = 0;
    forgetRate(clickerRate, appState().clickRate);
}

void autoClickerStep() {
    AppState& s = appState();
    const ClickerSettings& c = s.clicker;
    holdTimerResolutionWhile(s.autoClicking, clickerHoldsResolution);
    if (!s.autoClicking) {
        s.clickCount = 0;
        clickerSequence.next = 0;
        forgetRate(clickerRate, s.clickRate);
        waitWhileIdle(s.autoClicking);
        return;
    }
    const bool timed = c.rptMode == RunTimed;
    const double runMs = runMilliseconds(c.runH, c.runM, c.runS);
    // Nothing done yet: neither an action nor a step of the first pass.
    const bool runBegins = s.clickCount == 0 && clickerSequence.next == 0;
    if ((c.rptMode == RunCounted && s.clickCount >= c.rptTimes) ||
        timedRunOver(timed, runMs, runBegins ? 0 : 1, s.clickerRunStart, platform::perfCounter())) {
        // Every click was released already; a run that ends by itself sends nothing.
        s.autoClicking = false;
        return;
    }
    if (s.sessionAway) {
        waitForSessionReturn();
        return;
    }
    if (runBegins) startSchedule(clickerSchedule, s.clickerRunStart);
    if (c.locMode == InSequence) {
        sequenceStep(s, c, timed, runMs);
        return;
    }
    // A click the system refused is not counted: a counted run still makes
    // its number of clicks.
    if (doClickAction({c.locMode == AtFixedPoint, c.fixedX, c.fixedY, c.sbtn, c.stype}, c)) s.clickCount.fetch_add(1);
    const int64_t frequency = engineFrequency();
    const double intervalMs = intervalMilliseconds(c.sh, c.sm, c.ss, c.sms);
    const int64_t clickEnd = platform::perfCounter();
    countAction(clickerRate, s.clickRate, clickEnd, frequency);
    const int64_t due = nextDeadline(clickerSchedule, intervalTicks(intervalMs, frequency),
                                     humanisedOffsetTicks(intervalMs, c.rndMs, clickerRandom, frequency), clickEnd);
    waitUntilCounter(deadlineWithinRun(due, timed, runMs, s.clickerRunStart), s.autoClicking);
}

void autoClickerThread() {
    platform::raiseEngineThreadPriority();
    while (appState().running) autoClickerStep();
    holdTimerResolutionWhile(false, clickerHoldsResolution);
}
