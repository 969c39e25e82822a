#include "bridge/status_wait.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "bridge/page_calls.h"
#include "bridge/webview_api.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "text/arguments.h"

namespace {

// Bounds the hold, so that a page whose answer was lost asks again.
const int64_t kHoldMs = 5000;

// UI thread only.
struct HeldPoll {
    std::string id;  // the held call's id; "" when none is held
    uint64_t seen = 0;
    int64_t deadlineMs = 0;
};
HeldPoll held;
uint64_t version = 0;
std::string shownReport, shownTheme, shownSettings;

std::atomic<webview_t> target{nullptr};
std::atomic<bool> holding{false};

int64_t nowMs() { return platform::perfCounter() * 1000 / platform::perfCounterFrequency(); }

// While anything runs the page follows it at its own pace, as before.
bool somethingRuns() {
    const AppState& s = appState();
    return s.recording || s.playing || s.autoClicking || s.keySpamming || s.pickingLocation ||
           s.reassignSlot != ReassignSlot::NoSlot || s.clickerSwitch != 0 || s.keySpamSwitch != 0;
}

// The answer as of now; the version moves whenever the report or the theme
// does, or the settings (a pop-out window or a command changed them), which
// the page then reads.
std::string currentAnswer() {
    const std::string report = callGetTrackerStatus("");
    const std::string theme = currentTheme();
    std::string settings = callGetSettings("");
    if (report != shownReport || theme != shownTheme || settings != shownSettings || version == 0) {
        ++version;
        shownReport = report;
        shownTheme = theme;
        shownSettings = std::move(settings);
    }
    return "{\"version\":" + std::to_string(version) + ",\"status\":" + report + ",\"theme\":" + jsonString(theme) +
           "}";
}

void answerHeld(webview_t w, const std::string& answer) {
    const std::string id = held.id;
    held.id.clear();
    holding = false;
    webview_return(w, id.c_str(), 0, answer.c_str());
}

void checkHeld(webview_t w, void*) {
    if (held.id.empty()) return;
    const std::string answer = currentAnswer();
    if (version != held.seen || somethingRuns() || nowMs() >= held.deadlineMs || !appState().running)
        answerHeld(w, answer);
}

uint64_t versionAsked(const char* req) {
    const std::vector<std::string> fields = parseArgumentList(req ? req : "");
    int64_t seen = 0;
    if (fields.empty() || !parseInt64(fields[0], seen) || seen < 0) return 0;
    return uint64_t(seen);
}

void onWaitForStatus(const char* id, const char* req, void* arg) {
    webview_t w = static_cast<webview_t>(arg);
    // A page that asks again no longer waits for the older answer.
    if (!held.id.empty()) answerHeld(w, currentAnswer());
    const uint64_t seen = versionAsked(req);
    const std::string answer = currentAnswer();
    if (version != seen || somethingRuns()) {
        webview_return(w, id, 0, answer.c_str());
        return;
    }
    held = HeldPoll{id, seen, nowMs() + kHoldMs};
    holding = true;
}

}  // namespace

void bindStatusWait(void* webview) {
    webview_t w = static_cast<webview_t>(webview);
    webview_bind(w, "waitForStatus", onWaitForStatus, w);
    target = w;
}

void statusWatchThread() {
    while (appState().running) {
        const uint32_t seen = stateChangeMark();
        webview_t w = target.load();
        if (holding && w) webview_dispatch(w, checkHeld, nullptr);
        waitForStateChange(seen);
    }
}
