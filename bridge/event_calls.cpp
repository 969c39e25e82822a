// The page calls of recording: the event list and its edits, the tracker's
// options, the hotkeys and their reassignment, location picking and the
// status report.
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "bridge/settings_snapshot.h"
#include "bridge/window_helpers.h"
#include "capture/event_list.h"
#include "capture/hotkeys.h"
#include "capture/picking.h"
#include "capture/status_report.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "panels/panel_processes.h"
#include "platform/platform.h"
#include "store/change_history.h"
#include "store/data_dir.h"
#include "text/arguments.h"
#include "text/typed_text.h"

std::string callGetMacroEvents(const std::string&) { return eventListTextNow(); }

std::string callGetEventWindow(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    int32_t offset = 0, count = 0;
    if (fields.size() != 2 || !parseInt32(fields[0], offset) || !parseInt32(fields[1], count)) return "";
    return eventWindowJson(offset, count);
}

std::string callDeleteEvent(const std::string& args) {
    int32_t id = 0;
    if (parseInt32(stripArgumentText(args), id)) deleteEvent(id);
    return "";
}

std::string callUpdateEventTime(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.size() != 2) return "";
    int32_t id = 0;
    double time = 0.0;
    if (parseInt32(fields[0], id) && parseDouble(fields[1], time)) setEventTime(id, time);
    return "";
}

std::string callInsertPause(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    int32_t id = 0;
    double seconds = 0.0;
    if (fields.size() == 2 && parseInt32(fields[0], id) && parseDouble(fields[1], seconds)) insertPause(id, seconds);
    return "";
}

std::string callInsertText(const std::string& args) {
    std::vector<std::string> values;
    int32_t id = 0;
    if (parseJsonArguments(args, values) && values.size() == 2 && parseInt32(values[0], id))
        insertTypedText(id, values[1]);
    return "";
}

std::string callOptimizeMacro(const std::string&) {
    thinCurrentMoves();
    return "";
}

std::string callUndoChange(const std::string&) {
    undoChange();
    return "";
}

std::string callRedoChange(const std::string&) {
    redoChange();
    return "";
}

std::string callGetUndoState(const std::string&) { return changeHistoryJson(); }

std::string callUpdateTracker(const std::string& args) {
    storeUpdateArguments(FieldList::TrackerCall, args);
    announceStateChange();
    return "";
}

std::string callReassignKey(const std::string& args) {
    const std::string name = stripArgumentText(args);
    for (ReassignSlot slot : kReassignSlots) {
        if (name == reassignSlotName(slot)) {
            appState().reassignSlot.exchange(slot);
            announceStateChange();
            break;
        }
    }
    return "";
}

std::string callResetHotkeys(const std::string&) {
    resetHotkeyDefaults();
    announceStateChange();
    return "";
}

std::string callPickLocation(const std::string&) {
    appState().pickAddsStep = false;
    appState().pickingLocation.exchange(true);
    announceStateChange();
    return "";
}

std::string callCancelPick(const std::string&) {
    cancelPick();
    announceStateChange();  // an X11 grab for the pick goes at once
    return "";
}

std::string callSetFixedPoint(const std::string& args) {
    int32_t x = 0, y = 0;
    std::string refusal;
    if (!readScreenPoint(args, x, y, refusal) || !refusal.empty()) return jsonString(refusal);
    takeFixedPoint(x, y);
    announceStateChange();
    return "";
}

std::string callCancelReassign(const std::string&) {
    appState().reassignSlot.exchange(ReassignSlot::NoSlot);
    announceStateChange();
    return "";
}

namespace {

// Only a change reaches the window: the poll runs every few hundred ms.
void markTaskbarWhileRunning(const StatusFields& fields) {
    static bool shownRunning = false;  // UI thread only
    const bool running = fields.autoClicking || fields.keySpamming || fields.state == "Playing";
    if (running == shownRunning) return;
    shownRunning = running;
    platform::showRunningInTaskbar(appState().mainWindow, running);
}

// The pop-out window that waited for a pick or the key spammer's key is
// gone: nobody waits any more, and the next click or key must reach its
// window.
void endWaitsOfClosedPanels(const std::vector<std::string>& endedPanels) {
    const AppState& s = appState();
    for (const std::string& id : endedPanels) {
        if (id == "clicker-panel" && s.pickingLocation) callCancelPick("");
        if (id == "keyspam-panel" && s.reassignSlot == ReassignSlot::KeySpamTarget) callCancelReassign("");
    }
}

}  // namespace

// The panels that have ended are collected first, so the hover they may
// have left behind is already cleared in the same report. Each side file is
// written only when what it holds has changed.
std::string callGetTrackerStatus(const std::string&) {
    static std::string writtenPath, writtenReport;  // UI thread only
    const std::vector<std::string> endedPanels = collectEndedPanels();
    endWaitsOfClosedPanels(endedPanels);
    StatusFields fields = gatherStatus();
    fields.restore = endedPanels;
    const std::string report = statusReportJson(fields);
    markTaskbarWhileRunning(fields);
    const std::string path = sideFilePath("status.txt");
    if ((report != writtenReport || path != writtenPath) && writeWholeFile(path, report)) {
        writtenPath = path;
        writtenReport = report;
    }
    writeSettingsSideFile();
    followEventListInSideFile();
    return report;
}
