// The key spammer: presses and releases one key at a fixed interval, until
// stopped or for a counted run.
#include "app/settings_fields.h"
#include "app/state.h"
#include "app/state_changes.h"
#include "app/workers.h"
#include "bridge/page_calls.h"
#include "input/engine_wait.h"
#include "input/engines.h"
#include "platform/platform.h"
#include "store/profiles.h"

void keySpamStep() {
    AppState& s = appState();
    const KeySpamSettings& k = s.keySpam;
    if (!s.keySpamming) {
        s.keySpamCount = 0;
        waitWhileIdle(s.keySpamming);
        return;
    }
    if (k.ksRptMode == 0 && s.keySpamCount >= k.ksRptTimes) {
        s.keySpamming = false;
        return;
    }
    // Read once: a target changed mid-press must still get its own release.
    uint32_t target = uint32_t(k.keySpamTarget.load());
    platform::sendKeyEvent(target, true);
    platform::sendKeyEvent(target, false);
    s.keySpamCount.fetch_add(1);
    int64_t ticks = intervalTicks(intervalMilliseconds(k.ksh, k.ksm, k.kss, k.ksms), engineFrequency());
    int64_t pressEnd = platform::perfCounter();
    waitInterval(pressEnd, ticks, s.keySpamming);
}

void keySpamThread() {
    while (appState().running) keySpamStep();
}

std::string callUpdateKeySpam(const std::string& args) {
    if (storeUpdateArguments(FieldList::KeySpamCall, args)) storeProfileSettings();
    return "";
}

std::string callToggleKeySpam(const std::string&) {
    raiseRequest(appState().toggleKeySpamRequested);
    return "";
}
