#include "capture/status_report.h"

#include <mutex>

#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "capture/event_list.h"
#include "capture/hotkeys.h"
#include "capture/mouse_buttons.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/save_outcome.h"

const char kDefaultStatusReport[] =
    R"({"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"",)"
    R"("hkKeySpam":"","keySpamTarget":"","reassigning":"","panelHover":false,)"
    R"("autoClicking":false,"keySpamming":false,"saveError":"","picking":false,"pipeProblem":""})";

namespace {

// A panel id comes from the page or a panel and may hold any byte.
std::string quoted(const std::string& text) { return jsonString(text); }

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

// The two values kept under profilesLock, copied in one hold.
void copyLockedFields(StatusFields& f) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    const bool listed = s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size();
    f.count = listed ? s.profiles[size_t(s.currentProfile)].events.size() : 0;
    f.pipeProblem = s.pipeProblem;
}

StatusFields gatherStatus() {
    AppState& s = appState();
    StatusFields f;
    f.state = s.recording ? "Recording" : s.playing ? "Playing" : "Idle";
    copyLockedFields(f);
    f.restore = collectEndedPanels();
    f.hkRec = hotkeyName(hotkeyOfSlot(ReassignSlot::Record));
    f.hkPlay = hotkeyName(hotkeyOfSlot(ReassignSlot::Play));
    f.hkAuto = hotkeyName(hotkeyOfSlot(ReassignSlot::AutoClick));
    f.hkKeySpam = hotkeyName(hotkeyOfSlot(ReassignSlot::KeySpamHotkey));
    f.keySpamTarget = bindingName(s.keySpam.keySpamTarget);
    f.reassigning = reassignSlotName(s.reassignSlot);
    f.panelHover = s.panelHover;
    f.autoClicking = s.autoClicking;
    f.keySpamming = s.keySpamming;
    f.saveError = lastSaveError();
    f.picking = s.pickingLocation;
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
           ",\"saveError\":" + jsonString(f.saveError) + ",\"picking\":" + truth(f.picking) + ",\"pipeProblem\":" + jsonString(f.pipeProblem) + "}";
}

// Pop-out panels start from and follow the settings through this file; it
// is written when the snapshot differs from what was last written there.
void writeSettingsSideFile() {
    static std::string writtenPath, written;  // UI thread only
    const std::string snapshot = callGetSettings("");
    const std::string path = sideFilePath("settings.txt");
    if ((snapshot != written || path != writtenPath) && writeWholeFile(path, snapshot)) {
        writtenPath = path;
        written = snapshot;
    }
}

// The process table is the UI thread's own, and the names and flags are
// single atomic values, so profilesLock is taken for the event count and the
// pipe's problem alone.
// Each side file is written only when what it holds has changed.
std::string callGetTrackerStatus(const std::string&) {
    static std::string writtenPath, writtenReport;  // UI thread only
    const std::string report = statusReportJson(gatherStatus());
    const std::string path = sideFilePath("status.txt");
    if ((report != writtenReport || path != writtenPath) && writeWholeFile(path, report)) {
        writtenPath = path;
        writtenReport = report;
    }
    writeSettingsSideFile();
    followEventListInSideFile();
    return report;
}
