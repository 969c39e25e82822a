#include "capture/event_list.h"

#include <mutex>

#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "store/data_dir.h"

namespace {

std::string eventDescription(const MacroEvent& e) {
    using std::to_string;
    switch (e.kind) {
    case AbsMove: return "Abs Move to X:" + to_string(e.x) + " Y:" + to_string(e.y);
    case RelMove: return "Rel Move dX:" + to_string(e.x) + " dY:" + to_string(e.y);
    case MouseButton: return "Mouse Click at X:" + to_string(e.x) + " Y:" + to_string(e.y);
    case KeyStroke: return "Keyboard VK: " + to_string(e.vk) + (e.down ? " (DOWN)" : " (UP)");
    case Scroll: return "Mouse Scroll Delta: " + to_string(e.delta);
    default: return "";
    }
}

bool isCloseToLastKept(const MacroEvent& e, const std::vector<MacroEvent>& kept) {
    if (kept.empty() || kept.back().kind != AbsMove) return false;
    // Wrapping 32-bit arithmetic, so far-apart points can never trap.
    const uint32_t dx = uint32_t(e.x) - uint32_t(kept.back().x);
    const uint32_t dy = uint32_t(e.y) - uint32_t(kept.back().y);
    return int32_t(dx * dx + dy * dy) <= 100;
}

std::vector<MacroEvent>* currentEventListLocked(AppState& s) {
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return nullptr;
    return &s.profiles[size_t(s.currentProfile)].events;
}

void rewriteEventSideFile() { writeEventSideFile(buildEventListJson()); }

}  // namespace

std::string eventListJson(const std::vector<MacroEvent>& events) {
    std::string text = "[";
    for (size_t id = 0; id < events.size(); ++id) {
        if (id > 0) text += ',';
        text += "{\"id\":" + std::to_string(id) + ",\"time\":" + formatFixed6(events[id].time) +
                ",\"desc\":\"" + eventDescription(events[id]) + "\"}";
    }
    return text + "]";
}

std::string buildEventListJson() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    const std::vector<MacroEvent>* events = currentEventListLocked(s);
    return eventListJson(events ? *events : std::vector<MacroEvent>{});
}

void writeEventSideFile(const std::string& text) {
    writeWholeFile(sideFilePath("macroevents.txt"), text);
}

std::vector<MacroEvent> thinMoves(const std::vector<MacroEvent>& events) {
    std::vector<MacroEvent> kept;
    kept.reserve(events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        const MacroEvent& e = events[i];
        const bool inner = i > 0 && i + 1 < events.size();
        const bool droppable = e.kind == AbsMove && inner && events[i + 1].kind == AbsMove &&
                               isCloseToLastKept(e, kept);
        if (!droppable) kept.push_back(e);
    }
    return kept;
}

std::string callGetMacroEvents(const std::string&) {
    std::string text = buildEventListJson();
    writeEventSideFile(text);
    return text;
}

std::string callDeleteEvent(const std::string& args) {
    int32_t id = 0;
    if (!parseInt32(stripArgumentText(args), id)) return "";
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        std::vector<MacroEvent>* events = currentEventListLocked(s);
        if (events && id >= 0 && size_t(id) < events->size()) events->erase(events->begin() + id);
    }
    rewriteEventSideFile();
    return "";
}

std::string callUpdateEventTime(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.size() == 2) {
        int32_t id = 0;
        double time = 0.0;
        if (!parseInt32(fields[0], id) || !parseDouble(fields[1], time)) return "";
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        std::vector<MacroEvent>* events = currentEventListLocked(s);
        if (events && id >= 0 && size_t(id) < events->size()) (*events)[size_t(id)].time = time;
    }
    rewriteEventSideFile();
    return "";
}

std::string callOptimizeMacro(const std::string&) {
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        std::vector<MacroEvent>* events = currentEventListLocked(s);
        if (events && !events->empty()) *events = thinMoves(*events);
    }
    rewriteEventSideFile();
    return "";
}

// Each value is stored right after its own conversion; a field that holds no
// number ends the call there, keeping what was stored before it.
std::string callUpdateTracker(const std::string& args) {
    const std::vector<std::string> f = parseArgumentList(args);
    if (f.size() < 8) return "";
    TrackerSettings& t = appState().tracker;
    t.tmv = f[0] == "true";
    t.tclk = f[1] == "true";
    t.tscr = f[2] == "true";
    t.tkey = f[3] == "true";
    t.trel = f[4] == "true";
    float speed = 0.0f;
    if (!parseFloat(f[5], speed)) return "";
    t.tspd = speed;
    t.tloop = f[6] == "true";
    int32_t pause = 0;
    if (parseInt32(f[7], pause)) t.tloopMs = pause;
    return "";
}
