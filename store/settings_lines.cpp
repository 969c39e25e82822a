// The three line formats the session file shares with exported profiles: the
// settings line (31 values), the profile settings line (18), whose fields
// model/settings_fields.h places, and the event line (8). Values are joined by
// ',' with no quoting; a reader takes what it can and keeps the previous
// value where a field is bad. Each settings line may have an extra line of
// later fields; the settings text of the two carries it after a line break,
// and after it the step lines of the click sequence.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "model/bindings.h"
#include "model/key_typer.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "model/typed_texts.h"
#include "store/click_steps.h"
#include "store/session_file.h"
#include "text/arguments.h"
#include "text/typed_text.h"

namespace {

// Values 0 to 22 of a settings line form its first group; an older line
// has only these.
constexpr size_t kFirstGroupLength = 23;

void applyGroup(FieldList list, const std::vector<std::string>& values, size_t first, size_t end);

void appendFileValue(std::string& out, const SettingsField* field) {
    AppState& s = appState();
    if (!field) {
        out.push_back('0');  // the reserved value
        return;
    }
    const FieldMember& m = field->member;
    switch (m.type) {
    case FieldType::Integer: out += std::to_string(m.integer(s).load()); break;
    case FieldType::Truth: out.push_back(m.truth(s) ? '1' : '0'); break;
    case FieldType::Real: out += formatGeneral6(double(m.real(s).load())); break;
    }
}

bool isDefault(const SettingsField& field) {
    AppState& s = appState();
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: return m.integer(s) == int32_t(field.initial);
    case FieldType::Truth: return m.truth(s) == (field.initial != 0);
    case FieldType::Real: return m.real(s) == float(field.initial);
    }
    return true;
}

// How many of the list's values a line holds: all of them, but for the
// extra lines only up to the last later value that is not its default.
size_t writtenLength(FieldList list) {
    const std::span<const SettingsField* const> fields = fieldsIn(list);
    size_t alwaysWritten = fields.size();
    if (list == FieldList::SettingsMore) alwaysWritten = kSettingsMoreAlwaysWritten;
    if (list == FieldList::ProfileMore) alwaysWritten = kProfileMoreAlwaysWritten;
    size_t length = fields.size();
    while (length > alwaysWritten && isDefault(*fields[length - 1])) --length;
    return length;
}

void appendLine(std::string& out, FieldList list) {
    const std::span<const SettingsField* const> fields = fieldsIn(list).first(writtenLength(list));
    bool first = true;
    for (const SettingsField* field : fields) {
        if (!first) out.push_back(',');
        first = false;
        appendFileValue(out, field);
    }
}

bool anyNotDefault(FieldList list) {
    for (const SettingsField* field : fieldsIn(list))
        if (!isDefault(*field)) return true;
    return false;
}

std::string formatTyperValues() {
    if (!keyTyperInUse()) return "";
    const KeyTyperSettings& t = appState().keyTyper;
    return std::to_string(t.mode.load()) + ',' + (t.enter ? '1' : '0') + ',' +
           std::to_string(t.characterDelayMs.load()) + ',' + escapeLineText(keyTyperText());
}

// Each value that reads well is taken, the others keep their defaults.
void applyTyperValues(const std::string& values) {
    int32_t mode = SpamKey, delay = 0;
    bool enter = false;
    std::string text;
    const size_t first = values.find(','), second = values.find(',', first + 1);
    const size_t third = second == std::string::npos ? second : values.find(',', second + 1);
    if (third != std::string::npos) {
        const std::string_view all(values);
        int32_t number = 0;
        if (parseInt32(all.substr(0, first), number) && (number == SpamKey || number == SpamText)) mode = number;
        enter = all.substr(first + 1, second - first - 1) == "1";
        if (parseInt32(all.substr(second + 1, third - second - 1), number) && number >= 0 &&
            number <= kMaxCharacterDelayMs)
            delay = number;
        if (!unescapeLineText(all.substr(third + 1), text)) text.clear();
    }
    if (!setKeyTyper(mode, enter, delay, text)) setKeyTyper(mode, enter, delay, "");
}

// The live steps are copied under the lock and formatted after it.
void appendStepLines(std::string& out) {
    std::vector<ClickStep> steps;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        steps = s.clickSteps;
    }
    for (const ClickStep& step : steps) {
        out.push_back('\n');
        out += formatClickStepLine(step);
    }
}

// The line, its extra line after a line break when one of the extra line's
// values is not its default, the typer's line when it is in use, then
// (withSteps) the click sequence's lines.
std::string formatText(FieldList list, FieldList more, bool withSteps) {
    std::string out;
    out.reserve(192);
    appendLine(out, list);
    if (anyNotDefault(more)) {
        out.push_back('\n');
        appendLine(out, more);
    }
    out = withTyperLine(out, formatTyperValues());
    if (withSteps) appendStepLines(out);
    return out;
}

// Every field of the extra line takes its value from it, or its default
// where the line is missing or short.
void applyExtraLine(FieldList more, const std::string& line) {
    for (const SettingsField* field : fieldsIn(more)) restoreDefault(*field);
    if (line.empty()) return;
    const std::vector<std::string> values = splitFields(line, ',');
    applyGroup(more, values, 0, std::min(values.size(), fieldsIn(more).size()));
}

// Stores values [first, end) of a line in order. Only the exact text "1" is
// true ("true", "01" and " 1" are all false); the first value that holds no
// number keeps its field and ends the group.
void applyGroup(FieldList list, const std::vector<std::string>& values, size_t first, size_t end) {
    const std::span<const SettingsField* const> fields = fieldsIn(list);
    for (size_t i = first; i < end; ++i) {
        if (fields[i] && !storeFieldText(*fields[i], values[i], "1")) return;
    }
}

// Cuts the next field of an event line into field; false at the line's end.
bool nextField(std::string_view line, size_t& position, std::string_view& field) {
    if (position > line.size() || (position == line.size() && position != 0)) return false;
    // A field is a few characters long: a plain scan costs less than a
    // library search, a million lines at a time.
    size_t end = position;
    while (end < line.size() && line[end] != ',') ++end;
    field = std::string_view(line.data() + position, end - position);
    position = end + 1;
    return true;
}

}  // namespace

// From the first step line on, the steps; before them, the typer's line.
SettingsText splitSettingsText(const std::string& text) {
    const size_t stepsAt = text.find(std::string("\n") + kClickStepKeyword);
    const std::string steps = stepsAt == std::string::npos ? "" : text.substr(stepsAt + 1);
    const std::string beforeSteps = text.substr(0, stepsAt);
    const std::string typerStart = std::string("\n") + kTyperKeyword;
    const size_t typerAt = beforeSteps.find(typerStart);
    const std::string typer = typerAt == std::string::npos ? "" : beforeSteps.substr(typerAt + typerStart.size());
    const std::string rest = beforeSteps.substr(0, typerAt);
    const size_t lineBreak = rest.find('\n');
    if (lineBreak == std::string::npos) return {rest, "", typer, steps};
    return {rest.substr(0, lineBreak), rest.substr(lineBreak + 1), typer, steps};
}

std::string withTyperLine(const std::string& text, const std::string& typer) {
    const SettingsText parts = splitSettingsText(text);
    std::string out = joinSettingsText(parts.line, parts.extra);
    if (!typer.empty()) out += '\n' + std::string(kTyperKeyword) + typer;
    if (!parts.steps.empty()) out += '\n' + parts.steps;
    return out;
}

std::string joinSettingsText(const std::string& line, const std::string& extra, const std::string& steps) {
    std::string out = line;
    if (!extra.empty()) out += '\n' + extra;
    if (!steps.empty()) out += '\n' + steps;
    return out;
}

std::string formatClickStepLine(const ClickStep& step) {
    return kClickStepKeyword + std::to_string(step.x) + ',' + std::to_string(step.y) + ',' +
           std::to_string(step.button) + ',' + std::to_string(step.type) + ',' + std::to_string(step.waitMs);
}

bool parseClickStepLine(std::string_view line, ClickStep& step) {
    const size_t keyword = sizeof kClickStepKeyword - 1;
    if (line.size() < keyword || line.compare(0, keyword, kClickStepKeyword) != 0) return false;
    const std::vector<std::string> values = splitFields(std::string(line.substr(keyword)), ',');
    ClickStep read;
    if (values.size() < 5 || !parseInt32(values[0], read.x) || !parseInt32(values[1], read.y) ||
        !parseInt32(values[2], read.button) || !parseInt32(values[3], read.type) ||
        !parseInt32(values[4], read.waitMs) || !clickStepValid(read))
        return false;
    step = read;
    return true;
}

void applyClickSteps(const std::string& stepLines) {
    std::vector<ClickStep> steps;
    ClickStep step;
    for (const std::string& line : splitFields(stepLines, '\n')) {
        if (steps.size() < kMaxClickSteps && parseClickStepLine(line, step)) steps.push_back(step);
    }
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.clickSteps.swap(steps);
}

std::string formatSettingsLine() { return formatText(FieldList::SettingsLine, FieldList::SettingsMore, false); }

std::string formatLiveSettings() { return formatText(FieldList::SettingsLine, FieldList::SettingsMore, true); }

void applySettingsLine(const std::string& text) {
    const auto [line, extra, typer, steps] = splitSettingsText(text);
    const std::vector<std::string> values = splitFields(line, ',');
    const size_t length = fieldsIn(FieldList::SettingsLine).size();
    if (values.size() < kFirstGroupLength) return;
    applyExtraLine(FieldList::SettingsMore, extra);
    applyTyperValues(typer);
    applyGroup(FieldList::SettingsLine, values, 0, kFirstGroupLength);
    // An older line of 23 values has no key-spammer group; a bad first group
    // does not hold back a good second one.
    if (values.size() >= length) applyGroup(FieldList::SettingsLine, values, kFirstGroupLength, length);
    applyClickSteps(steps);
    // A file may name a binding no person could choose, such as the left
    // button as a hotkey, which would swallow every click on the desktop.
    replaceRefusedBindings();
    announceStateChange();  // it may bind other hotkeys
}

std::string formatProfileSettings() { return formatText(FieldList::ProfileLine, FieldList::ProfileMore, true); }

void applyProfileSettings(const std::string& text) {
    const auto [line, extra, typer, steps] = splitSettingsText(text);
    const std::vector<std::string> values = splitFields(line, ',');
    const size_t length = fieldsIn(FieldList::ProfileLine).size();
    if (values.size() < length) return;
    applyGroup(FieldList::ProfileLine, values, 0, length);
    applyExtraLine(FieldList::ProfileMore, extra);
    applyTyperValues(typer);
    applyClickSteps(steps);
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
    if (e.kind == TypedText) {
        const std::string* text = typedTextOf(e.x);
        out += kTypedTextKeyword;
        out += formatRoundTrip(e.time);
        out += ',';
        if (text) out += escapeLineText(*text);
        return;
    }
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
    // A ninth field, which earlier readers skip, and only where it says more
    // than the virtual key: files of keys without it stay as they were.
    if (e.kind == KeyStroke && e.scan != 0) {
        line.put(',');
        line.number(e.scan);
    }
    out.append(line.text, line.used);
}

std::string formatEventLine(const MacroEvent& event) {
    std::string out;
    appendEventLine(out, event);
    return out;
}

namespace {

bool parseTypedTextLine(std::string_view line, MacroEvent& event) {
    line.remove_prefix(sizeof kTypedTextKeyword - 1);
    const size_t comma = line.find(',');
    MacroEvent e;
    e.kind = TypedText;
    std::string text;
    std::u32string characters;
    if (comma == std::string_view::npos || !parseDouble(line.substr(0, comma), e.time) ||
        !unescapeLineText(line.substr(comma + 1), text) || !decodeCharacters(text, characters))
        return false;
    e.x = keepTypedText(text);
    if (e.x < 0) return false;
    event = e;
    return true;
}

}  // namespace

bool parseEventLine(std::string_view line, MacroEvent& event, bool deltaOptional) {
    if (line.substr(0, sizeof kTypedTextKeyword - 1) == kTypedTextKeyword) return parseTypedTextLine(line, event);
    std::string_view field;
    size_t position = 0;
    MacroEvent e;
    int32_t down = 0;
    if (!nextField(line, position, field) || !parseInt32(field, e.kind)) return false;
    // A typed text is only ever a TYPE: line; as numbers its x would name
    // a text that was never read.
    if (e.kind == TypedText) return false;
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
    // A scan code that cannot be one leaves the key to its virtual key: the
    // event still plays.
    uint32_t scan = 0;
    if (e.kind == KeyStroke && nextField(line, position, field) && parseUInt32(field, scan) &&
        scan <= 0xFFFF)
        e.scan = scan;
    event = e;
    return true;
}
