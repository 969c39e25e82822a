// The three line formats the session file shares with exported profiles: the
// settings line (31 values), the profile settings line (18) and the event
// line (8). Values are joined by ',' with no quoting; a reader takes what it
// can and keeps the previous value where a field is bad.
#include <charconv>
#include <cstdint>
#include <string>

#include "app/state.h"
#include "app/state_changes.h"
#include "bridge/arguments.h"
#include "capture/hotkeys.h"
#include "store/session_file.h"

namespace {

void appendInt(std::string& out, int64_t value) {
    out += std::to_string(value);
    out.push_back(',');
}

void appendBool(std::string& out, bool value) {
    out.push_back(value ? '1' : '0');
    out.push_back(',');
}

void dropFinalComma(std::string& out) {
    if (!out.empty() && out.back() == ',') out.pop_back();
}

// Only the exact text "1" is true: "true", "01" and " 1" are all false.
bool fileBool(const std::string& field) { return field == "1"; }

// Assigns one integer field; false ends the group it belongs to.
bool assignInt(const std::string& field, std::atomic<int32_t>& target) {
    int32_t value;
    if (!parseInt32(field, value)) return false;
    target = value;
    return true;
}

void applyFirstGroup(const std::vector<std::string>& f) {
    AppState& s = appState();
    ClickerSettings& c = s.clicker;
    TrackerSettings& t = s.tracker;
    std::atomic<int32_t>* leading[] = {&c.sh,      &c.sm,      &c.ss,     &c.sms,
                                       &c.sbtn,    &c.stype,   &c.rptMode, &c.rptTimes,
                                       &c.locMode, &c.fixedX,  &c.fixedY};
    for (size_t i = 0; i < 11; ++i) {
        if (!assignInt(f[i], *leading[i])) return;
    }
    t.tmv = fileBool(f[11]);
    t.tclk = fileBool(f[12]);
    t.tscr = fileBool(f[13]);
    t.tkey = fileBool(f[14]);
    t.trel = fileBool(f[15]);
    float speed;
    if (!parseFloat(f[16], speed)) return;
    t.tspd = speed;
    t.tloop = fileBool(f[17]);
    if (!assignInt(f[18], t.tloopMs)) return;
    if (!assignInt(f[19], s.hotkeys.hkRec)) return;
    if (!assignInt(f[20], s.hotkeys.hkPlay)) return;
    // Field 21 is reserved and may hold anything.
    assignInt(f[22], s.hotkeys.hkAuto);
}

void applySecondGroup(const std::vector<std::string>& f) {
    AppState& s = appState();
    KeySpamSettings& k = s.keySpam;
    std::atomic<int32_t>* fields[] = {&k.ksh,       &k.ksm,        &k.kss,
                                      &k.ksms,      &k.ksRptMode,  &k.ksRptTimes,
                                      &s.hotkeys.hkKeySpam, &k.keySpamTarget};
    for (size_t i = 0; i < 8; ++i) {
        if (!assignInt(f[23 + i], *fields[i])) return;
    }
}

// Cuts the next field of an event line into field; false at the line's end.
bool nextField(const std::string& line, size_t& position, std::string& field) {
    if (position > line.size() || (position == line.size() && position != 0)) return false;
    size_t end = line.find(',', position);
    if (end == std::string::npos) end = line.size();
    field.assign(line, position, end - position);
    position = end + 1;
    return true;
}

}  // namespace

std::string formatSettingsLine() {
    const AppState& s = appState();
    const ClickerSettings& c = s.clicker;
    const TrackerSettings& t = s.tracker;
    const KeySpamSettings& k = s.keySpam;
    const HotkeySet& h = s.hotkeys;
    std::string out;
    out.reserve(160);
    for (int32_t v : {c.sh.load(), c.sm.load(), c.ss.load(), c.sms.load(), c.sbtn.load(),
                      c.stype.load(), c.rptMode.load(), c.rptTimes.load(), c.locMode.load(),
                      c.fixedX.load(), c.fixedY.load()})
        appendInt(out, v);
    for (bool v : {t.tmv.load(), t.tclk.load(), t.tscr.load(), t.tkey.load(), t.trel.load()})
        appendBool(out, v);
    out += formatGeneral6(double(t.tspd.load()));
    out.push_back(',');
    appendBool(out, t.tloop);
    for (int32_t v : {t.tloopMs.load(), h.hkRec.load(), h.hkPlay.load(), 0, h.hkAuto.load(),
                      k.ksh.load(), k.ksm.load(), k.kss.load(), k.ksms.load(),
                      k.ksRptMode.load(), k.ksRptTimes.load(), h.hkKeySpam.load(),
                      k.keySpamTarget.load()})
        appendInt(out, v);
    dropFinalComma(out);
    return out;
}

void applySettingsLine(const std::string& text) {
    const std::vector<std::string> fields = splitFields(text, ',');
    if (fields.size() < 23) return;
    applyFirstGroup(fields);
    // An older line of 23 values has no key-spammer group; a bad first group
    // does not hold back a good second one.
    if (fields.size() >= 31) applySecondGroup(fields);
    // A file may name a binding no person could choose, such as the left
    // button as a hotkey, which would swallow every click on the desktop.
    replaceRefusedBindings();
    announceStateChange();  // it may bind other hotkeys
}

std::string formatProfileSettings() {
    const ClickerSettings& c = appState().clicker;
    const KeySpamSettings& k = appState().keySpam;
    std::string out;
    out.reserve(96);
    for (int32_t v : {c.sh.load(), c.sm.load(), c.ss.load(), c.sms.load(), c.sbtn.load(),
                      c.stype.load(), c.rptMode.load(), c.rptTimes.load(), c.locMode.load(),
                      c.fixedX.load(), c.fixedY.load(), k.ksh.load(), k.ksm.load(),
                      k.kss.load(), k.ksms.load(), k.ksRptMode.load(), k.ksRptTimes.load(),
                      k.keySpamTarget.load()})
        appendInt(out, v);
    dropFinalComma(out);
    return out;
}

void applyProfileSettings(const std::string& text) {
    const std::vector<std::string> f = splitFields(text, ',');
    if (f.size() < 18) return;
    ClickerSettings& c = appState().clicker;
    KeySpamSettings& k = appState().keySpam;
    std::atomic<int32_t>* fields[] = {&c.sh,    &c.sm,      &c.ss,       &c.sms,     &c.sbtn,
                                      &c.stype, &c.rptMode, &c.rptTimes, &c.locMode, &c.fixedX,
                                      &c.fixedY, &k.ksh,    &k.ksm,      &k.kss,     &k.ksms,
                                      &k.ksRptMode, &k.ksRptTimes, &k.keySpamTarget};
    for (size_t i = 0; i < 18; ++i) {
        if (!assignInt(f[i], *fields[i])) break;
    }
    replaceRefusedBindings();
}

// One line is built in a local buffer and appended once: a session holds
// millions of these lines, and the appends dominate otherwise.
struct LineBuffer {
    char text[192];
    size_t used = 0;

    template <typename Number>
    void number(Number value) {
        auto result = std::to_chars(text + used, text + sizeof text - 2, value);
        if (result.ec == std::errc()) used = size_t(result.ptr - text);
    }
    void put(char c) {
        if (used < sizeof text) text[used++] = c;
    }
};

void appendEventLine(std::string& out, const MacroEvent& e) {
    LineBuffer line;
    line.number(e.kind);
    line.put(',');
    // The shortest text that reads back to the same double: a save never
    // moves an event in time, and short times look as they always did.
    line.number(e.time);
    line.put(',');
    line.number(e.x);
    line.put(',');
    line.number(e.y);
    line.put(',');
    line.number(e.flags);
    line.put(',');
    line.number(e.vk);
    line.put(',');
    line.put(e.down ? '1' : '0');
    line.put(',');
    line.number(e.delta);
    out.append(line.text, line.used);
}

std::string formatEventLine(const MacroEvent& event) {
    std::string out;
    appendEventLine(out, event);
    return out;
}

bool parseEventLine(const std::string& line, MacroEvent& event, bool deltaOptional) {
    std::string field;
    size_t position = 0;
    MacroEvent e;
    int32_t down = 0;
    if (!nextField(line, position, field) || !parseInt32(field, e.kind)) return false;
    if (!nextField(line, position, field) || !parseDouble(field, e.time)) return false;
    if (!nextField(line, position, field) || !parseInt32(field, e.x)) return false;
    if (!nextField(line, position, field) || !parseInt32(field, e.y)) return false;
    if (!nextField(line, position, field) || !parseUInt32(field, e.flags)) return false;
    if (!nextField(line, position, field) || !parseInt32(field, e.vk)) return false;
    if (!nextField(line, position, field) || !parseInt32(field, down)) return false;
    e.down = down != 0;
    if (nextField(line, position, field)) {
        if (!parseInt32(field, e.delta)) return false;
    } else if (!deltaOptional) {
        return false;
    }
    event = e;
    return true;
}
