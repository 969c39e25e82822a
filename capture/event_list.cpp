#include "capture/event_list.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <mutex>
#include <utility>

#include "capture/button_flags.h"
#include "model/mouse_buttons.h"
#include "model/typed_texts.h"
#include "store/change_history.h"
#include "store/data_dir.h"
#include "text/arguments.h"
#include "text/typed_text.h"

namespace {

// The longest window one getEventWindow call returns.
constexpr int32_t kMaxWindowEvents = 1000;

void appendNumber(std::string& out, int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendTime(std::string& out, double seconds) {
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) {
        out += "0.000000";
    } else {
        out.append(buffer, result.ptr);
    }
}

// A JSON string's inside, without its quotes.
void appendJsonInside(std::string& out, const std::string& text) {
    const std::string quoted = jsonString(text);
    out.append(quoted, 1, quoted.size() - 2);
}

// Type "Hello, world", a long text cut after kShownCharacters characters.
constexpr size_t kShownCharacters = 60;
void appendTypedTextDescription(std::string& out, int32_t id) {
    const std::string* text = typedTextOf(id);
    std::string shown = text ? *text : "";
    size_t characters = 0, cut = 0;
    for (; cut < shown.size(); ++cut) {
        if ((static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) continue;  // within a character
        if (characters == kShownCharacters) break;
        ++characters;
    }
    if (cut < shown.size()) shown = shown.substr(0, cut) + "…";
    appendJsonInside(out, "Type \"" + shown + "\"");
}

void appendDescription(std::string& out, const MacroEvent& e) {
    switch (e.kind) {
    case AbsMove: out += "Abs Move to X:", appendNumber(out, e.x), out += " Y:", appendNumber(out, e.y); break;
    case RelMove: out += "Rel Move dX:", appendNumber(out, e.x), out += " dY:", appendNumber(out, e.y); break;
    case MouseButton:
        out += "Mouse Click at X:", appendNumber(out, e.x), out += " Y:", appendNumber(out, e.y);
        break;
    case KeyStroke: out += "Keyboard VK: ", appendNumber(out, e.vk), out += e.down ? " (DOWN)" : " (UP)"; break;
    case Scroll: out += "Mouse Scroll Delta: ", appendNumber(out, e.delta); break;
    case TypedText: appendTypedTextDescription(out, e.x); break;
    default: break;
    }
}

// The name a recorded button goes by, from its stored flags.
const char* buttonName(uint32_t flags) {
    const uint32_t action = buttonActionOf(flags);
    if (action & (mouse_flags::LeftDown | mouse_flags::LeftUp)) return "Left";
    if (action & (mouse_flags::RightDown | mouse_flags::RightUp)) return "Right";
    if (action & (mouse_flags::MiddleDown | mouse_flags::MiddleUp)) return "Middle";
    switch (sideButtonOf(flags)) {
    case 1: return "Side 1";
    case 2: return "Side 2";
    default: return "Side";
    }
}

bool buttonGoesDown(uint32_t flags) {
    const uint32_t downs = mouse_flags::LeftDown | mouse_flags::RightDown | mouse_flags::MiddleDown | mouse_flags::XDown;
    return (buttonActionOf(flags) & downs) != 0;
}

// Key names as JSON strings, asked of the system once per key and thread:
// a long list names the same few keys over and over.
const std::string& quotedKeyName(int32_t vk) {
    thread_local std::string names[256];
    thread_local bool known[256] = {};
    const size_t slot = size_t(vk) & 0xFF;
    if (vk < 0 || vk > 255) {
        thread_local std::string unknown;
        unknown = jsonString("Key " + std::to_string(vk));
        return unknown;
    }
    if (!known[slot]) {
        names[slot] = jsonString(bindingName(vk));
        known[slot] = true;
    }
    return names[slot];
}

void appendPoint(std::string& out, const MacroEvent& e) {
    out += ",\"x\":", appendNumber(out, e.x), out += ",\"y\":", appendNumber(out, e.y);
}

// What the page needs to say what an event is: which button or key, and
// whether it goes down or up.
void appendEventDetails(std::string& out, const MacroEvent& e) {
    out += ",\"kind\":", appendNumber(out, e.kind);
    switch (e.kind) {
    case AbsMove:
    case RelMove: appendPoint(out, e); break;
    case MouseButton:
        appendPoint(out, e);
        out += ",\"button\":\"", out += buttonName(e.flags), out += '"';
        out += buttonGoesDown(e.flags) ? ",\"down\":true" : ",\"down\":false";
        break;
    case KeyStroke:
        out += ",\"key\":", out += quotedKeyName(e.vk);
        out += e.down ? ",\"down\":true" : ",\"down\":false";
        break;
    case Scroll: out += ",\"delta\":", appendNumber(out, e.delta); break;
    case TypedText: {
        const std::string* text = typedTextOf(e.x);
        out += ",\"text\":", out += jsonString(text ? *text : "");
        break;
    }
    default: break;
    }
}

void appendEventObject(std::string& out, size_t id, const MacroEvent& e) {
    out += "{\"id\":";
    appendNumber(out, int64_t(id));
    out += ",\"time\":";
    appendTime(out, e.time);
    out += ",\"desc\":\"";
    appendDescription(out, e);
    out += '"';
    appendEventDetails(out, e);
    out += '}';
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

// Copies the next events the text lacks, at most one chunk, and says
// whether the text has to start over because the list was edited.
bool copyNextEvents(EventListText& text, size_t& from) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    const std::vector<MacroEvent>* events = currentEventListLocked(s);
    const size_t size = events ? events->size() : 0;
    const bool restart = s.eventListEdits != text.edits || size < text.count;
    text.edits = s.eventListEdits;
    from = restart ? 0 : text.count;
    const size_t take = std::min(size - from, kEventCopyChunk);
    if (take > 0) text.copied.assign(events->begin() + std::ptrdiff_t(from),
                                      events->begin() + std::ptrdiff_t(from + take));
    else text.copied.clear();
    return restart;
}

// What the side file holds, as far as this process wrote it. UI thread only.
struct SideFileState {
    std::string path;    // where it was written; another place is written afresh
    bool known = false;  // the file holds the whole of sideText() as of `bytes`
    size_t bytes = 0;
    std::chrono::steady_clock::time_point nextRebuild{};
    std::chrono::steady_clock::duration lastRebuild{};
};

EventListText& sideText() {
    static EventListText text;
    return text;
}

SideFileState& sideFile() {
    static SideFileState state;
    return state;
}

// Replaces the closing bracket the file ends with by what was appended;
// false when the file is not the one last written, so it gets rewritten.
bool appendToSideFile(const std::string& path, const std::string& added, size_t writtenBytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file || !file.seekg(0, std::ios::end) || size_t(file.tellg()) != writtenBytes) return false;
    file.seekp(std::streamoff(writtenBytes - 1));
    file.write(added.data(), std::streamsize(added.size()));
    return bool(file.flush());
}

bool rebuildIsDue() {
    AppState& s = appState();
    const EventListText& text = sideText();
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (s.eventListEdits == text.edits) return true;  // appends only, or nothing
    }
    return std::chrono::steady_clock::now() >= sideFile().nextRebuild;
}

}  // namespace

std::string eventListJson(const std::vector<MacroEvent>& events) {
    std::string text = "[";
    text.reserve(events.size() * 64 + 2);
    for (size_t id = 0; id < events.size(); ++id) {
        if (id > 0) text += ',';
        appendEventObject(text, id, events[id]);
    }
    return text + "]";
}

std::string buildEventListJson() {
    std::vector<MacroEvent> copy;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (const std::vector<MacroEvent>* events = currentEventListLocked(s)) copy = *events;
    }
    return eventListJson(copy);
}

void writeEventSideFile(const std::string& text) {
    writeWholeFile(sideFilePath("macroevents.txt"), text);
}

TextChange catchUpEventListText(EventListText& text) {
    TextChange change = TextChange::None;
    size_t kept = text.bytes - 1;  // the whole text but its closing bracket, which `added` replaces
    text.added.clear();
    for (;;) {
        size_t from = 0;
        if (copyNextEvents(text, from)) {
            text.added = "[";
            kept = 0;
            change = TextChange::Rebuilt;
        } else if (!text.added.empty()) {
            text.added.pop_back();  // the closing bracket of the chunk before
        }
        for (size_t i = 0; i < text.copied.size(); ++i) {
            if (from + i > 0) text.added += ',';
            appendEventObject(text.added, from + i, text.copied[i]);
        }
        if (!text.added.empty()) {
            text.added += ']';
            text.bytes = kept + text.added.size();
        }
        text.count = from + text.copied.size();
        if (text.copied.empty()) return change;
        if (change == TextChange::None) change = TextChange::Appended;
    }
}

// Frees the text's buffer: assigning an empty string would keep it.
void giveBack(std::string& text) { std::string().swap(text); }

// Writes the whole list afresh, formatted from the start.
bool rewriteSideFile(const std::string& path, EventListText& text) {
    text.edits = UINT64_MAX;
    catchUpEventListText(text);
    const bool written = writeWholeFile(path, text.added);
    giveBack(text.added);
    return written;
}

void followEventListInSideFile() {
    if (!rebuildIsDue()) return;
    EventListText& text = sideText();
    SideFileState& file = sideFile();
    const std::string path = sideFilePath("macroevents.txt");
    if (path != file.path) file = SideFileState{path};
    const size_t writtenBytes = file.bytes;
    const auto started = std::chrono::steady_clock::now();
    const TextChange change = catchUpEventListText(text);
    if (change == TextChange::None && file.known) return;
    if (change == TextChange::Rebuilt) {
        file.lastRebuild = std::chrono::steady_clock::now() - started;
        file.nextRebuild = started + std::min<std::chrono::steady_clock::duration>(
                                         4 * file.lastRebuild, std::chrono::seconds(1));
    }
    if (change == TextChange::Rebuilt) {
        file.known = writeWholeFile(path, text.added);
    } else if (!(change == TextChange::Appended && file.known && appendToSideFile(path, text.added, writtenBytes))) {
        // A file written by someone else, or not at all: the whole text
        // again, which only the list itself still holds.
        file.known = rewriteSideFile(path, text);
    }
    giveBack(text.added);
    file.bytes = text.bytes;
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

std::string eventListTextNow() {
    sideFile().nextRebuild = {};
    followEventListInSideFile();
    std::string text;
    if (sideFile().known && readWholeFile(sideFile().path, text) && text.size() == sideFile().bytes) return text;
    return buildEventListJson();
}

std::string eventWindowJson(int32_t offset, int32_t count) {
    std::vector<MacroEvent> window;
    size_t total = 0;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (const std::vector<MacroEvent>* events = currentEventListLocked(s)) {
            total = events->size();
            const size_t first = std::min(total, size_t(std::max(offset, 0)));
            const size_t take = std::min(total - first, size_t(std::clamp(count, 0, kMaxWindowEvents)));
            window.assign(events->begin() + std::ptrdiff_t(first),
                          events->begin() + std::ptrdiff_t(first + take));
            offset = int32_t(first);
        } else {
            offset = 0;
        }
    }
    std::string out = "{\"total\":";
    appendNumber(out, int64_t(total));
    out += ",\"offset\":";
    appendNumber(out, offset);
    out += ",\"events\":[";
    for (size_t i = 0; i < window.size(); ++i) {
        if (i > 0) out += ',';
        appendEventObject(out, size_t(offset) + i, window[i]);
    }
    return out + "]}";
}

// An edit changes the list only; the side file follows at the next status
// poll, so an edit from a panel and one from the page cost the same.
void deleteEvent(int32_t id) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    std::vector<MacroEvent>* events = currentEventListLocked(s);
    if (!events || id < 0 || size_t(id) >= events->size()) return;
    ChangeStep step = changeStep(ChangeKind::InsertEvent, size_t(s.currentProfile), s.currentProfile);
    step.eventIndex = size_t(id);
    step.event = (*events)[size_t(id)];
    events->erase(events->begin() + id);
    noteEventListEdited();
    step.label = "deleting event " + std::to_string(id);
    keepChangeLocked(s, std::move(step));
}

void setEventTime(int32_t id, double time) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    std::vector<MacroEvent>* events = currentEventListLocked(s);
    if (!events || id < 0 || size_t(id) >= events->size() || (*events)[size_t(id)].time == time) return;
    ChangeStep step = changeStep(ChangeKind::SwapEventTime, size_t(s.currentProfile), s.currentProfile);
    step.eventIndex = size_t(id);
    step.event.time = std::exchange((*events)[size_t(id)].time, time);
    noteEventListEdited();
    step.label = "editing the time of event " + std::to_string(id);
    keepChangeLocked(s, std::move(step));
}

namespace {

// Where a row inserted before event id goes, and the time it takes: that
// event's, or after the last one at the list's end.
bool insertionPlace(const std::vector<MacroEvent>& events, int32_t id, double& time) {
    if (id < 0 || size_t(id) > events.size()) return false;
    time = size_t(id) < events.size() ? events[size_t(id)].time : events.empty() ? 0.0 : events.back().time;
    return true;
}

}  // namespace

bool insertPause(int32_t id, double seconds) {
    if (!(seconds > 0.0) || seconds > kMaxPauseSeconds) return false;
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    std::vector<MacroEvent>* events = currentEventListLocked(s);
    double time = 0.0;
    if (!events || !insertionPlace(*events, id, time) || size_t(id) == events->size()) return false;
    ChangeStep step = changeStep(ChangeKind::SwapTailTimes, size_t(s.currentProfile), s.currentProfile);
    step.eventIndex = size_t(id);
    // The times as they were, kept for Undo: adding and then taking away
    // the pause would not always give them back exactly.
    step.held.events.assign(events->begin() + id, events->end());
    for (auto e = events->begin() + id; e != events->end(); ++e) e->time += seconds;
    noteEventListEdited();
    step.label = "inserting a pause before event " + std::to_string(id);
    keepChangeLocked(s, std::move(step));
    return true;
}

bool insertTypedText(int32_t id, const std::string& text) {
    std::u32string characters;
    if (text.empty() || !decodeCharacters(text, characters)) return false;
    const int32_t textId = keepTypedText(text);
    if (textId < 0) return false;
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    std::vector<MacroEvent>* events = currentEventListLocked(s);
    MacroEvent row;
    row.kind = TypedText;
    row.x = textId;
    if (!events || !insertionPlace(*events, id, row.time)) return false;
    events->insert(events->begin() + id, row);
    ChangeStep step = changeStep(ChangeKind::RemoveEvent, size_t(s.currentProfile), s.currentProfile);
    step.eventIndex = size_t(id);
    noteEventListEdited();
    step.label = "inserting a text before event " + std::to_string(id);
    keepChangeLocked(s, std::move(step));
    return true;
}

void thinCurrentMoves() {
    std::vector<MacroEvent> thinned;
    size_t copied = 0;
    uint64_t editsSeen = 0;
    AppState& s = appState();
    {
        std::vector<MacroEvent> copy;
        {
            std::lock_guard<std::mutex> lock(s.profilesLock);
            std::vector<MacroEvent>* events = currentEventListLocked(s);
            if (!events || events->empty()) return;
            copy = *events;
            editsSeen = s.eventListEdits;
        }
        thinned = thinMoves(copy);
        copied = copy.size();
    }
    if (thinned.size() == copied) return;
    ChangeStep step = changeStep(ChangeKind::SwapEvents, 0, 0,
                                 "optimising away " + std::to_string(copied - thinned.size()) + " moves");
    std::lock_guard<std::mutex> lock(s.profilesLock);
    std::vector<MacroEvent>* events = currentEventListLocked(s);
    // Events appended meanwhile follow the thinned ones as they came; an
    // edit meanwhile leaves the list as the edit made it.
    if (!events || s.eventListEdits != editsSeen || events->size() < copied) return;
    thinned.insert(thinned.end(), events->begin() + std::ptrdiff_t(copied), events->end());
    events->swap(thinned);
    noteEventListEdited();
    // The list it replaced, kept for Undo without a copy.
    step.held.events = std::move(thinned);
    step.profile = size_t(s.currentProfile);
    step.current = s.currentProfile;
    keepChangeLocked(s, std::move(step));
}
