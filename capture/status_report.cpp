#include "capture/status_report.h"

#include <mutex>

#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "capture/event_list.h"
#include "capture/hotkeys.h"
#include "platform/platform.h"
#include "store/data_dir.h"

const char kDefaultStatusReport[] =
    R"({"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"",)"
    R"("hkKeySpam":"","keySpamTarget":"","reassigning":"","panelHover":false,)"
    R"("autoClicking":false,"keySpamming":false})";

namespace {

std::string quoted(const std::string& text) {
    return "\"" + escapeQuotesAndBackslashes(text) + "\"";
}

const char* truth(bool value) { return value ? "true" : "false"; }

std::string restoreList(const std::vector<std::string>& ids) {
    std::string list = "[";
    for (size_t i = 0; i < ids.size(); ++i) list += (i ? "," : "") + quoted(ids[i]);
    return list + "]";
}

// Forgets the panel processes that have ended and names them, in id order,
// so that every ended panel appears in exactly one report. UI thread only.
std::vector<std::string> collectEndedPanels() {
    AppState& s = appState();
    std::vector<std::string> ended;
    for (auto it = s.panelProcesses.begin(); it != s.panelProcesses.end();) {
        if (platform::childProcessState(it->second) == platform::ProcessState::Ended) {
            ended.push_back(it->first);
            platform::releaseChildProcess(it->second);
            it = s.panelProcesses.erase(it);
        } else {
            ++it;
        }
    }
    if (!ended.empty()) s.panelHover = false;
    return ended;
}

size_t currentEventCount() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return 0;
    return s.profiles[size_t(s.currentProfile)].events.size();
}

StatusFields gatherStatus() {
    AppState& s = appState();
    StatusFields f;
    f.state = s.recording ? "Recording" : s.playing ? "Playing" : "Idle";
    f.count = currentEventCount();
    f.restore = collectEndedPanels();
    f.hkRec = platform::keyDisplayName(s.hotkeys.hkRec);
    f.hkPlay = platform::keyDisplayName(s.hotkeys.hkPlay);
    f.hkAuto = platform::keyDisplayName(s.hotkeys.hkAuto);
    f.hkKeySpam = platform::keyDisplayName(s.hotkeys.hkKeySpam);
    f.keySpamTarget = platform::keyDisplayName(s.keySpam.keySpamTarget);
    f.reassigning = reassignSlotName(s.reassignSlot);
    f.panelHover = s.panelHover;
    f.autoClicking = s.autoClicking;
    f.keySpamming = s.keySpamming;
    return f;
}

}  // namespace

std::string statusReportJson(const StatusFields& f) {
    return "{\"state\":" + quoted(f.state) + ",\"count\":" + std::to_string(f.count) +
           ",\"restore\":" + restoreList(f.restore) + ",\"hkRec\":" + quoted(f.hkRec) +
           ",\"hkPlay\":" + quoted(f.hkPlay) + ",\"hkAuto\":" + quoted(f.hkAuto) +
           ",\"hkKeySpam\":" + quoted(f.hkKeySpam) + ",\"keySpamTarget\":" + quoted(f.keySpamTarget) +
           ",\"reassigning\":" + quoted(f.reassigning) + ",\"panelHover\":" + truth(f.panelHover) +
           ",\"autoClicking\":" + truth(f.autoClicking) + ",\"keySpamming\":" + truth(f.keySpamming) +
           "}";
}

// The process table is the UI thread's own, and the names and flags are
// single atomic values, so profilesLock is taken for the event count alone.
// Pop-out panels start from and follow the settings through this file; it
// is written when the snapshot differs from what was last written.
void writeSettingsSideFile() {
    static std::string written;
    const std::string snapshot = callGetSettings("");
    if (snapshot == written) return;
    if (writeWholeFile(sideFilePath("settings.txt"), snapshot)) written = snapshot;
}

std::string callGetTrackerStatus(const std::string&) {
    const std::string report = statusReportJson(gatherStatus());
    writeWholeFile(sideFilePath("status.txt"), report);
    writeSettingsSideFile();
    writeEventSideFile(buildEventListJson());
    return report;
}
