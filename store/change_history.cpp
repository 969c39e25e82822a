#include "store/change_history.h"

#include <utility>

#include "model/state_changes.h"
#include "store/profiles.h"
#include "store/session_file.h"
#include "text/arguments.h"

namespace {

size_t weightOf(const ChangeStep& step) { return step.held.events.size() + 1; }

bool profileIn(const AppState& s, size_t index) { return index < s.profiles.size(); }

bool eventIn(const AppState& s, size_t profile, size_t index, bool orAtEnd) {
    if (!profileIn(s, profile)) return false;
    const size_t count = s.profiles[profile].events.size();
    return orAtEnd ? index <= count : index < count;
}

// Whether the step still fits the profiles; one that does not (the list was
// replaced by a load meanwhile) is dropped rather than carried out.
bool fits(const AppState& s, const ChangeStep& step) {
    switch (step.kind) {
    case ChangeKind::SwapEvents:
    case ChangeKind::SwapProfile:
    case ChangeKind::SwapName:
    case ChangeKind::SwapSettings: return profileIn(s, step.profile);
    case ChangeKind::RemoveProfile: return profileIn(s, step.profile) && s.profiles.size() > 1;
    case ChangeKind::InsertProfile: return step.profile <= s.profiles.size();
    case ChangeKind::InsertEvent: return eventIn(s, step.profile, step.eventIndex, true);
    case ChangeKind::RemoveEvent:
    case ChangeKind::SwapEventTime: return eventIn(s, step.profile, step.eventIndex, false);
    case ChangeKind::SwapTailTimes:
        return eventIn(s, step.profile, step.eventIndex, false) &&
               s.profiles[step.profile].events.size() - step.eventIndex == step.held.events.size();
    }
    return false;
}

// Carries the step out and turns it into the step that takes it back.
void carryOutLocked(AppState& s, ChangeStep& step) {
    std::vector<Profile>& profiles = s.profiles;
    const auto at = profiles.begin() + std::ptrdiff_t(step.profile);
    switch (step.kind) {
    case ChangeKind::SwapEvents: at->events.swap(step.held.events); break;
    case ChangeKind::SwapProfile: std::swap(*at, step.held); break;
    case ChangeKind::InsertProfile:
        profiles.insert(at, std::exchange(step.held, Profile{}));
        step.kind = ChangeKind::RemoveProfile;
        break;
    case ChangeKind::RemoveProfile:
        step.held = std::move(*at);
        profiles.erase(at);
        step.kind = ChangeKind::InsertProfile;
        break;
    case ChangeKind::InsertEvent:
        at->events.insert(at->events.begin() + std::ptrdiff_t(step.eventIndex), step.event);
        step.kind = ChangeKind::RemoveEvent;
        break;
    case ChangeKind::RemoveEvent:
        step.event = at->events[step.eventIndex];
        at->events.erase(at->events.begin() + std::ptrdiff_t(step.eventIndex));
        step.kind = ChangeKind::InsertEvent;
        break;
    case ChangeKind::SwapEventTime: std::swap(at->events[step.eventIndex].time, step.event.time); break;
    case ChangeKind::SwapTailTimes:
        for (size_t i = 0; i < step.held.events.size(); ++i)
            std::swap(at->events[step.eventIndex + i].time, step.held.events[i].time);
        break;
    case ChangeKind::SwapName: at->name.swap(step.held.name); break;
    case ChangeKind::SwapSettings: at->settings.swap(step.held.settings); break;
    }
    if (step.current < 0 || size_t(step.current) >= profiles.size()) step.current = 0;
    std::swap(s.currentProfile, step.current);
    noteEventListEdited();
}

// The oldest undo goes first; without one, the redo farthest ahead.
void dropOldestBeyondBudget(ChangeHistory& h) {
    while (h.heldEvents > h.budget && h.undo.size() + h.redo.size() > 1) {
        std::deque<ChangeStep>& list = h.undo.empty() ? h.redo : h.undo;
        h.heldEvents -= weightOf(list.front());
        list.pop_front();
    }
}

void clearRedo(ChangeHistory& h) {
    for (const ChangeStep& step : h.redo) h.heldEvents -= weightOf(step);
    h.redo.clear();
}

// The live settings the step brings back: those it kept, or, when it makes
// another profile current, that profile's. The step that takes it back
// keeps the live settings of now.
struct SettingsToApply {
    bool apply = false;
    bool wholeLine = false;
    std::string text;
};

bool takeBack(std::deque<ChangeStep>& from, std::deque<ChangeStep>& to) {
    AppState& s = appState();
    if (s.recording) return false;
    const std::string liveNow = formatLiveSettings();
    SettingsToApply settings;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        while (!from.empty() && !fits(s, from.back())) {
            s.history.heldEvents -= weightOf(from.back());
            from.pop_back();
        }
        if (from.empty()) return false;
        ChangeStep step = std::move(from.back());
        from.pop_back();
        s.history.heldEvents -= weightOf(step);
        carryOutLocked(s, step);
        if (!step.settingsLine.empty()) {
            settings = {true, true, std::exchange(step.settingsLine, liveNow)};
        } else if (step.current != s.currentProfile) {
            settings = {true, false, s.profiles[size_t(s.currentProfile)].settings};
            step.settingsLine = liveNow;
        }
        s.history.heldEvents += weightOf(step);
        to.push_back(std::move(step));
        dropOldestBeyondBudget(s.history);
    }
    if (settings.wholeLine) {
        applySettingsLine(settings.text);
    } else if (settings.apply) {
        applySettingsOfProfile(settings.text);
    }
    announceStateChange();  // the hotkeys may be others now
    return true;
}

}  // namespace

ChangeStep changeStep(ChangeKind kind, size_t profile, int32_t current, std::string label) {
    ChangeStep step;
    step.kind = kind;
    step.profile = profile;
    step.current = current;
    step.label = std::move(label);
    return step;
}

void keepChangeLocked(AppState& s, ChangeStep&& step) {
    ChangeHistory& h = s.history;
    clearRedo(h);
    h.heldEvents += weightOf(step);
    h.undo.push_back(std::move(step));
    dropOldestBeyondBudget(h);
}

bool undoChange() { return takeBack(appState().history.undo, appState().history.redo); }

bool redoChange() { return takeBack(appState().history.redo, appState().history.undo); }

std::string changeHistoryJson() {
    std::string undo, redo;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (!s.history.undo.empty()) undo = s.history.undo.back().label;
        if (!s.history.redo.empty()) redo = s.history.redo.back().label;
    }
    return "{\"undo\":" + jsonString(undo) + ",\"redo\":" + jsonString(redo) + "}";
}

std::string countOfEvents(size_t count) {
    return std::to_string(count) + (count == 1 ? " event" : " events");
}

std::string quotedName(const std::string& name) { return "\u201c" + name + "\u201d"; }
