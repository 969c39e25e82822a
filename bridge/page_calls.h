// Handlers of the calls bound into the page. Each takes the argument text as
// the web view delivers it (a JSON array) and returns the result text: "" for
// commands, JSON for queries. A handler never throws; a value it cannot read
// ends it with what it stored so far kept, and it returns "".
#pragma once

#include <string>

// Auto-clicker, key spammer and the engine toggles.
std::string callUpdateSpammer(const std::string& args);
std::string callToggleSpammer(const std::string& args);
std::string callUpdateKeySpam(const std::string& args);
std::string callToggleKeySpam(const std::string& args);
std::string callToggleRecording(const std::string& args);
std::string callTogglePlayback(const std::string& args);
// The page's Start and Stop: a Start while running and a Stop while stopped do
// nothing. A Start may name a delay in milliseconds; a Stop cancels it.
std::string callStartSpammer(const std::string& args);
std::string callStopSpammer(const std::string& args);
std::string callStartKeySpam(const std::string& args);
std::string callStopKeySpam(const std::string& args);

// The click sequence: ["add",x,y,button,type,waitMs], ["set",index,x,y,
// button,type,waitMs], ["move",from,to], ["delete",index], or ["pick"],
// which adds a step at the next left click as picking the fixed point does.
// A step with a value out of its range, or an index that names none, changes
// nothing.
std::string callEditClickSteps(const std::string& args);

// Location picking and the main window's size.
std::string callPickLocation(const std::string& args);
// Ends a pending pick without a point, as Esc does; the page calls it when it
// gives up waiting.
std::string callCancelPick(const std::string& args);
// [x, y]: the fixed point typed by hand. Answers "" once taken, or the
// reason it was not as a JSON string: no whole numbers, or no screen there.
std::string callSetFixedPoint(const std::string& args);
// Ends a pending reassignment, the bindings as they were.
std::string callCancelReassign(const std::string& args);
std::string callResizeWindow(const std::string& args);

// Hotkeys, the event list, the tracker options and the status report.
std::string callResetHotkeys(const std::string& args);
std::string callReassignKey(const std::string& args);
std::string callUpdateTracker(const std::string& args);
std::string callOptimizeMacro(const std::string& args);
std::string callGetTrackerStatus(const std::string& args);
std::string callGetMacroEvents(const std::string& args);
// [offset, count]: that stretch of the list for a table that shows a screenful.
std::string callGetEventWindow(const std::string& args);
std::string callDeleteEvent(const std::string& args);
std::string callUpdateEventTime(const std::string& args);
// [id, seconds]: a pause before event id; [id, "text"]: a row typing the text
// before it (id one past the last event: at the end).
std::string callInsertPause(const std::string& args);
std::string callInsertText(const std::string& args);
// [mode, enter, delayMs, "text"]: the key spammer's text typer (mode 1 types
// the text, 0 the key); all four are taken, or none.
std::string callSetKeyTyper(const std::string& args);
// Undo and Redo of the changes to the profiles and their events, and what
// the next of each would bring back: {"undo":"...","redo":"..."}.
std::string callUndoChange(const std::string& args);
std::string callRedoChange(const std::string& args);
std::string callGetUndoState(const std::string& args);

// Settings snapshot, theme and application settings.
std::string callGetSettings(const std::string& args);
std::string callSetTheme(const std::string& args);
std::string callGetSharedTheme(const std::string& args);
std::string callGetAppSettings(const std::string& args);
std::string callSetAppSetting(const std::string& args);

// Profiles, the full reset, import and export.
std::string callResetEverything(const std::string& args);
std::string callClearProfile(const std::string& args);
std::string callAddProfile(const std::string& args);
std::string callDeleteProfile(const std::string& args);
std::string callSwitchProfile(const std::string& args);
std::string callGetProfiles(const std::string& args);
std::string callExportProfile(const std::string& args);
std::string callImportProfile(const std::string& args);
// [name]: the current profile renamed, or a copy of it under that name made
// current. {"done":bool,"message":"..."}: what was changed, or why not.
std::string callRenameProfile(const std::string& args);
std::string callDuplicateProfile(const std::string& args);
// What start-up has to tell the user (an unreadable session kept aside).
std::string callGetNotices(const std::string& args);

// Pop-out panels.
std::string callPopOutPanel(const std::string& args);
