// Undo and Redo of the changes to the profiles and their events. Whoever
// changes them keeps, under the same hold of profilesLock, the step that
// takes the change back; the steps live in AppState::history for the
// session only and are never written to a file.
#pragma once

#include <string>

#include "model/state.h"

// A step of this kind on profile `profile`, made while `current` was current.
ChangeStep changeStep(ChangeKind kind, size_t profile, int32_t current, std::string label = "");

// Under profilesLock, right after the change the step takes back: keeps it
// as the next undo, forgets every redo and drops the oldest steps beyond the
// budget. step.current is the current index before the change.
void keepChangeLocked(AppState& s, ChangeStep&& step);

// Carry out the next undo or redo: false, changing nothing, when there is
// none or a recording runs. Live settings follow what the step brings back
// (the settings it kept, or those of the profile it makes current).
bool undoChange();
bool redoChange();

// {"undo":"...","redo":"..."}: what the next undo and redo bring back, in
// words, "" when there is nothing to take back.
std::string changeHistoryJson();

// "1 event", "45 events".
std::string countOfEvents(size_t count);
// A profile's name in quotes for a step's label.
std::string quotedName(const std::string& name);
