// The auto-clicker: clicks one button at a fixed interval, optionally at a
// fixed point, until stopped or for a counted run.
#include "app/settings_fields.h"
#include "app/state.h"
#include "app/state_changes.h"
#include "app/workers.h"
#include "bridge/page_calls.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "input/mouse_flags.h"
#include "platform/platform.h"
#include "store/profiles.h"

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

void clickOnce(ButtonFlags flags) {
    platform::sendMouseInput(0, 0, 0, flags.press);
    platform::sendMouseInput(0, 0, 0, flags.release);
}

void doClickAction(const ClickerSettings& c) {
    if (c.locMode == 1) platform::moveCursorAbsolute(c.fixedX, c.fixedY);
    ButtonFlags flags = clickerButtonFlags(c.sbtn);
    clickOnce(flags);
    if (c.stype == 1) {
        waitDoubleClickGap();
        clickOnce(flags);
    }
}

}  // namespace

void autoClickerStep() {
    AppState& s = appState();
    const ClickerSettings& c = s.clicker;
    if (!s.autoClicking) {
        s.clickCount = 0;
        waitWhileIdle(s.autoClicking);
        return;
    }
    if (c.rptMode == 0 && s.clickCount >= c.rptTimes) {
        // Every click was released already; a run that ends by itself sends nothing.
        s.autoClicking = false;
        return;
    }
    doClickAction(c);
    s.clickCount.fetch_add(1);
    int64_t ticks = intervalTicks(intervalMilliseconds(c.sh, c.sm, c.ss, c.sms), engineFrequency());
    int64_t clickEnd = platform::perfCounter();
    waitInterval(clickEnd, ticks, s.autoClicking);
}

void autoClickerThread() {
    while (appState().running) autoClickerStep();
}

std::string callUpdateSpammer(const std::string& args) {
    if (storeUpdateArguments(FieldList::SpammerCall, args)) storeProfileSettings();
    return "";
}

std::string callToggleSpammer(const std::string&) {
    raiseRequest(appState().toggleSpammerRequested);
    return "";
}
