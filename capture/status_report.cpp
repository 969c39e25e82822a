#include "capture/status_report.h"

#include <cmath>
#include <mutex>

#include "capture/event_list.h"
#include "capture/hook_logic.h"
#include "capture/hotkeys.h"
#include "model/mouse_buttons.h"
#include "model/start_rule.h"
#include "model/state.h"
#include "platform/platform.h"
#include "store/save_outcome.h"
#include "text/arguments.h"

const char kDefaultStatusReport[] =
    R"({"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"",)"
    R"("hkKeySpam":"","keySpamTarget":"","reassigning":"","panelHover":false,)"
    R"("autoClicking":false,"keySpamming":false,"saveError":"","picking":false,"pipeProblem":"",)"
    R"("clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""})";

namespace {

// A panel id comes from the page or a panel and may hold any byte.
std::string quoted(const std::string& text) { return jsonString(text); }

const char* truth(bool value) { return value ? "true" : "false"; }

// One decimal is all a person reads, and the report then changes about once
// a second while an engine runs, not at every action.
std::string rateNumber(double perSecond) { return formatGeneral6(std::round(perSecond * 10.0) / 10.0); }

std::string restoreList(const std::vector<std::string>& ids) {
    std::string list = "[";
    for (size_t i = 0; i < ids.size(); ++i) list += (i ? "," : "") + quoted(ids[i]);
    return list + "]";
}

// The two values kept under profilesLock, copied in one hold.
void copyLockedFields(StatusFields& f) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    const bool listed = s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size();
    f.count = listed ? s.profiles[size_t(s.currentProfile)].events.size() : 0;
    f.pipeProblem = s.pipeProblem;
}

}  // namespace

std::string hookProblemText(bool missing, uint32_t reinstalls, uint64_t dropped) {
    if (missing)
        return "The input hooks could not be installed: hotkeys, recording, picking and the Escape hold "
               "do not work. Starting Varnet again may mend it.";
    std::string text;
    if (reinstalls != 0)
        text = "The system removed the input hooks " + std::to_string(reinstalls) +
               (reinstalls == 1 ? " time" : " times") + " (it was too busy to wait for them); they were put back.";
    if (dropped != 0)
        text += std::string(text.empty() ? "" : " ") + std::to_string(dropped) +
                (dropped == 1 ? " input event" : " input events") +
                " came faster than they could be recorded and are missing from the recording.";
    return text;
}

// The names and flags are single atomic values, so profilesLock is taken for
// the event count and the pipe's problem alone.
StatusFields gatherStatus() {
    AppState& s = appState();
    StatusFields f;
    f.state = s.recording ? "Recording" : s.playing ? "Playing" : "Idle";
    copyLockedFields(f);
    f.hkRec = hotkeyName(hotkeyOfSlot(ReassignSlot::Record));
    f.hkPlay = hotkeyName(hotkeyOfSlot(ReassignSlot::Play));
    f.hkAuto = hotkeyName(hotkeyOfSlot(ReassignSlot::AutoClick));
    f.hkKeySpam = hotkeyName(hotkeyOfSlot(ReassignSlot::KeySpamHotkey));
    f.keySpamTarget = keySpamTargetName();
    f.reassigning = reassignSlotName(s.reassignSlot);
    f.panelHover = s.panelHover;
    f.autoClicking = s.autoClicking;
    f.keySpamming = s.keySpamming;
    f.saveError = lastSaveError();
    f.picking = s.pickingLocation;
    f.clickRate = s.clickRate;
    f.keySpamRate = s.keySpamRate;
    f.clickerRefused = startRefusalText(StartRefusal(s.clickerRefused.load()));
    f.keySpamRefused = startRefusalText(StartRefusal(s.keySpamRefused.load()));
    f.hookProblem = hookProblemText(hooksMissing(), hookReinstalls(), inputDropped());
    if (f.autoClicking) f.clickAsked = clickerAskedRate(s.clicker, liveSequencePassMs());
    if (f.keySpamming) f.keySpamAsked = keySpamAskedRate(s.keySpam);
    return f;
}

std::string statusReportJson(const StatusFields& f) {
    return "{\"state\":" + quoted(f.state) + ",\"count\":" + std::to_string(f.count) +
           ",\"restore\":" + restoreList(f.restore) + ",\"hkRec\":" + quoted(f.hkRec) +
           ",\"hkPlay\":" + quoted(f.hkPlay) + ",\"hkAuto\":" + quoted(f.hkAuto) +
           ",\"hkKeySpam\":" + quoted(f.hkKeySpam) + ",\"keySpamTarget\":" + quoted(f.keySpamTarget) +
           ",\"reassigning\":" + quoted(f.reassigning) + ",\"panelHover\":" + truth(f.panelHover) +
           ",\"autoClicking\":" + truth(f.autoClicking) + ",\"keySpamming\":" + truth(f.keySpamming) +
           ",\"saveError\":" + jsonString(f.saveError) + ",\"picking\":" + truth(f.picking) + ",\"pipeProblem\":" + jsonString(f.pipeProblem) +
           ",\"clickRate\":" + rateNumber(f.clickRate) + ",\"keySpamRate\":" + rateNumber(f.keySpamRate) +
           ",\"clickerRefused\":" + jsonString(f.clickerRefused) + ",\"keySpamRefused\":" + jsonString(f.keySpamRefused) +
           (f.hookProblem.empty() ? "" : ",\"hookProblem\":" + jsonString(f.hookProblem)) +
           (f.autoClicking ? ",\"clickAsked\":" + formatGeneral6(f.clickAsked) : "") +
           (f.keySpamming ? ",\"keySpamAsked\":" + formatGeneral6(f.keySpamAsked) : "") + "}";
}
