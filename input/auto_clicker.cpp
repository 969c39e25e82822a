// The auto-clicker: clicks one button at a fixed rate, each click action due
// one interval after the previous one's due time (not after its end),
// optionally at a fixed point, until stopped, for a counted run or for a
// timed one; each due time, the hold and the point may vary at random by a
// set spread.
#include <algorithm>

#include "input/action_rate.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "model/mouse_flags.h"
#include "model/settings_fields.h"
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

// Whether the click (or the double click's first) happened.
bool doClickAction(const ClickerSettings& c) {
    const int32_t area = std::clamp<int32_t>(c.areaPx, 0, kMaxAreaPx);
    const int32_t dx = area > 0 ? uniformInteger(clickerRandom, -area, area) : 0;
    const int32_t dy = area > 0 ? uniformInteger(clickerRandom, -area, area) : 0;
    int32_t pointerX = 0, pointerY = 0;
    const bool atFixedPoint = c.locMode == 1;
    // Around the pointer: moved off it for the click and put back after.
    const bool aroundPointer = !atFixedPoint && area > 0 && platform::cursorPosition(pointerX, pointerY);
    if (atFixedPoint) {
        platform::moveCursorAbsolute(clampedCoordinate(int64_t(c.fixedX) + dx), clampedCoordinate(int64_t(c.fixedY) + dy));
    } else if (aroundPointer) {
        platform::moveCursorAbsolute(clampedCoordinate(int64_t(pointerX) + dx), clampedCoordinate(int64_t(pointerY) + dy));
    }
    const ButtonFlags flags = clickerButtonFlags(c.sbtn);
    const bool clicked = clickOnce(flags, c.holdMs);
    if (clicked && c.stype == 1) {
        waitDoubleClickGap();
        clickOnce(flags, c.holdMs);
    }
    if (aroundPointer) platform::moveCursorAbsolute(pointerX, pointerY);
    return clicked;
}

}  // namespace

void forgetAutoClickerThreadState() {
    clickerRandom = RandomSource{};
    clickerSchedule = ActionSchedule{};
    forgetRate(clickerRate, appState().clickRate);
}

void autoClickerStep() {
    AppState& s = appState();
    const ClickerSettings& c = s.clicker;
    holdTimerResolutionWhile(s.autoClicking, clickerHoldsResolution);
    if (!s.autoClicking) {
        s.clickCount = 0;
        forgetRate(clickerRate, s.clickRate);
        waitWhileIdle(s.autoClicking);
        return;
    }
    const bool timed = c.rptMode == RunTimed;
    const double runMs = runMilliseconds(c.runH, c.runM, c.runS);
    if ((c.rptMode == RunCounted && s.clickCount >= c.rptTimes) ||
        timedRunOver(timed, runMs, s.clickCount, s.clickerRunStart, platform::perfCounter())) {
        // Every click was released already; a run that ends by itself sends nothing.
        s.autoClicking = false;
        return;
    }
    if (s.sessionAway) {
        waitForSessionReturn();
        return;
    }
    if (s.clickCount == 0) startSchedule(clickerSchedule, s.clickerRunStart);
    // A click the system refused is not counted: a counted run still makes
    // its number of clicks.
    if (doClickAction(c)) s.clickCount.fetch_add(1);
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
