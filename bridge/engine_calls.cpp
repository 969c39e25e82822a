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
#include "store/profiles.h"
#include "text/arguments.h"

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

std::string callToggleKeySpam(const std::string&) {
    raiseRequest(appState().toggleKeySpamRequested);
    return "";
}
