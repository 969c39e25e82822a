// The page calls that switch and set up the engines: the auto-clicker, the
// key spammer, recording and playback. Each only stores or raises a request;
// the control thread and the engines act on it.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "input/engine_wait.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "store/click_steps.h"
#include "store/profiles.h"
#include "text/arguments.h"
#include "text/typed_text.h"

namespace {

// args: an optional delay in milliseconds, so the user can move the pointer
// to the target first; anything else starts at once. The time is set before
// the switch, which the control thread reads first.
void requestStart(std::atomic<int32_t>& engineSwitch, std::atomic<int64_t>& startAt,
                  const std::string& args) {
    int32_t delayMs = 0;
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.empty() || !parseInt32(fields[0], delayMs) || delayMs < 0) delayMs = 0;
    const int64_t frequency = engineFrequency();
    startAt = delayMs == 0 ? 0 : platform::perfCounter() + int64_t(delayMs) * frequency / 1000;
    engineSwitch = SwitchOn;
    announceStateChange();
}

// Fields [first, first + 5) as a step; false when one is no number.
bool readStep(const std::vector<std::string>& fields, size_t first, ClickStep& step) {
    return fields.size() >= first + 5 && parseInt32(fields[first], step.x) && parseInt32(fields[first + 1], step.y) &&
           parseInt32(fields[first + 2], step.button) && parseInt32(fields[first + 3], step.type) &&
           parseInt32(fields[first + 4], step.waitMs);
}

bool readIndex(const std::vector<std::string>& fields, size_t at, size_t& index) {
    int32_t value = 0;
    if (fields.size() <= at || !parseInt32(fields[at], value) || value < 0) return false;
    index = size_t(value);
    return true;
}

void requestStop(std::atomic<int32_t>& engineSwitch) {
    engineSwitch = SwitchOff;
    announceStateChange();
}

}  // namespace

std::string callUpdateSpammer(const std::string& args) {
    if (storeUpdateArguments(FieldList::SpammerCall, args)) storeProfileSettings();
    announceStateChange();  // a held poll of the main page sees settings sent from elsewhere
    return "";
}

std::string callToggleSpammer(const std::string&) {
    raiseRequest(appState().toggleSpammerRequested);
    return "";
}

std::string callToggleRecording(const std::string&) {
    raiseRequest(appState().toggleRecordingRequested);
    return "";
}

std::string callTogglePlayback(const std::string&) {
    raiseRequest(appState().togglePlaybackRequested);
    return "";
}

std::string callStartSpammer(const std::string& args) {
    requestStart(appState().clickerSwitch, appState().clickerStartAt, args);
    return "";
}

std::string callStopSpammer(const std::string&) {
    requestStop(appState().clickerSwitch);
    return "";
}

std::string callStartKeySpam(const std::string& args) {
    requestStart(appState().keySpamSwitch, appState().keySpamStartAt, args);
    return "";
}

std::string callStopKeySpam(const std::string&) {
    requestStop(appState().keySpamSwitch);
    return "";
}

std::string callUpdateKeySpam(const std::string& args) {
    if (storeUpdateArguments(FieldList::KeySpamCall, args)) storeProfileSettings();
    announceStateChange();
    return "";
}

std::string callSetKeyTyper(const std::string& args) {
    std::vector<std::string> values;
    int32_t mode = 0, delay = 0;
    if (parseJsonArguments(args, values) && values.size() == 4 && parseInt32(values[0], mode) &&
        parseInt32(values[2], delay) && setKeyTyper(mode, values[1] == "true" || values[1] == "1", delay, values[3]))
        storeProfileSettings();
    return "";
}

std::string callToggleKeySpam(const std::string&) {
    raiseRequest(appState().toggleKeySpamRequested);
    return "";
}

std::string callEditClickSteps(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.empty()) return "";
    const std::string& what = fields[0];
    ClickStep step;
    size_t index = 0, to = 0;
    if (what == "add" && readStep(fields, 1, step)) {
        appendClickStep(step);
    } else if (what == "set" && readIndex(fields, 1, index) && readStep(fields, 2, step)) {
        replaceClickStep(index, step);
    } else if (what == "move" && readIndex(fields, 1, index) && readIndex(fields, 2, to)) {
        moveClickStep(index, to);
    } else if (what == "delete" && readIndex(fields, 1, index)) {
        removeClickStep(index);
    } else if (what == "pick") {
        appState().pickAddsStep = true;
        appState().pickingLocation.exchange(true);
        announceStateChange();
    }
    return "";
}
