// Every settings field of the auto-clicker, the key spammer, recording and
// playback and the hotkeys, described once: its key, where it lives in
// AppState, its default, and where it stands in each text that carries it
// (the settings line, a profile's own line, the getSettings snapshot and the
// page's update call that sets it). The file lines, the snapshot, the update
// calls and the resets all follow this table; a new field is one more row.
// Fields added after the first file format live in the extra lines alone,
// and stand at the end of their update call, where a caller that does not
// know them may leave them out.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "model/state.h"

// What a field holds; the type is its whole range. An integer takes any
// signed 32-bit value, a real any finite 32-bit float; a value out of range
// or with no number is refused where text is read.
enum class FieldType : uint8_t { Integer, Truth, Real };

// The record of AppState a field belongs to; each is reset as a unit.
enum class FieldRecord : uint8_t { Clicker, KeySpam, Tracker, Hotkeys };

// The ordered texts that carry settings fields.
enum class FieldList : uint8_t {
    SettingsLine,   // the session's and an exported profile's SETTINGS line
    ProfileLine,    // a profile's own PROFILESETTINGS line
    Snapshot,       // the JSON object of getSettings
    SpammerCall,    // the arguments of updateSpammer
    KeySpamCall,    // the arguments of updateKeySpam
    TrackerCall,    // the arguments of updateTracker
    // The extra lines that follow the two lines above in a file, written only
    // when one of their values is not its default. A reader that does not
    // know them drops them as it drops any line that is no event.
    SettingsMore,   // after the session's CURRENT line; in an export after SETTINGS
    ProfileMore,    // after a profile's PROFILESETTINGS line
};
constexpr size_t kFieldListCount = size_t(FieldList::ProfileMore) + 1;

// A field's place in AppState: the one accessor of its type is set.
struct FieldMember {
    FieldType type = FieldType::Integer;
    FieldRecord record = FieldRecord::Clicker;
    std::atomic<int32_t>& (*integer)(AppState&) = nullptr;
    std::atomic<bool>& (*truth)(AppState&) = nullptr;
    std::atomic<float>& (*real)(AppState&) = nullptr;
};

constexpr int8_t kNotCarried = -1;
// The settings line's value at this index is reserved: written as 0, never
// read. Every other index of every list is one field's.
constexpr size_t kReservedSettingsIndex = 21;

struct SettingsField {
    const char* key;   // its JSON key, also its name in AppState
    FieldMember member;
    double initial;    // at start and after a reset of its record
    // Its index in each FieldList, in the enum's order; kNotCarried where
    // that text does not carry it.
    std::array<int8_t, kFieldListCount> positions;
    // The values an integer field takes; text outside them is refused like
    // text with no number.
    int32_t lowest = INT32_MIN, highest = INT32_MAX;
};

namespace settings_fields_detail {

template <typename Record> struct RecordPlace;
template <> struct RecordPlace<ClickerSettings> {
    static constexpr auto in = &AppState::clicker;
    static constexpr FieldRecord record = FieldRecord::Clicker;
};
template <> struct RecordPlace<KeySpamSettings> {
    static constexpr auto in = &AppState::keySpam;
    static constexpr FieldRecord record = FieldRecord::KeySpam;
};
template <> struct RecordPlace<TrackerSettings> {
    static constexpr auto in = &AppState::tracker;
    static constexpr FieldRecord record = FieldRecord::Tracker;
};
template <> struct RecordPlace<HotkeySet> {
    static constexpr auto in = &AppState::hotkeys;
    static constexpr FieldRecord record = FieldRecord::Hotkeys;
};

template <typename Record, typename Value>
Record recordOf(std::atomic<Value> Record::*);
template <typename Record, typename Value>
Value valueOf(std::atomic<Value> Record::*);

template <auto field>
auto& memberIn(AppState& s) {
    using Record = decltype(recordOf(field));
    return s.*RecordPlace<Record>::in.*field;
}

}  // namespace settings_fields_detail

// The place of a field given as a member of its record: &TrackerSettings::tspd.
template <auto field>
constexpr FieldMember member() {
    using namespace settings_fields_detail;
    using Value = decltype(valueOf(field));
    FieldMember m;
    m.record = RecordPlace<decltype(recordOf(field))>::record;
    if constexpr (std::is_same_v<Value, int32_t>) {
        m.type = FieldType::Integer;
        m.integer = &memberIn<field>;
    } else if constexpr (std::is_same_v<Value, bool>) {
        m.type = FieldType::Truth;
        m.truth = &memberIn<field>;
    } else {
        static_assert(std::is_same_v<Value, float>, "a settings field holds int32_t, bool or float");
        m.type = FieldType::Real;
        m.real = &memberIn<field>;
    }
    return m;
}

// The largest humanising spreads a person may ask for.
constexpr int32_t kMaxSpreadMs = 3600000, kMaxHoldMs = 10000, kMaxAreaPx = 10000;
// The values of the session's extra settings line that every such line
// holds; the later ones are written only up to the last that is not its
// default, so a line that does not use them stays as it always was.
constexpr size_t kSettingsMoreAlwaysWritten = 11;
// The same for the profile's extra line.
constexpr size_t kProfileMoreAlwaysWritten = 10;

namespace settings_fields_detail {
constexpr int8_t no = kNotCarried;

// clang-format off
inline constexpr SettingsField kRows[] = {
    // key            member                                   initial   settings profile snapshot spammer keySpam tracker  more  pmore
    {"sh",            member<&ClickerSettings::sh>(),              0,    {  0,      0,      0,       0,      no,     no,     no,    no}},
    {"sm",            member<&ClickerSettings::sm>(),              0,    {  1,      1,      1,       1,      no,     no,     no,    no}},
    {"ss",            member<&ClickerSettings::ss>(),              0,    {  2,      2,      2,       2,      no,     no,     no,    no}},
    {"sms",           member<&ClickerSettings::sms>(),           100,    {  3,      3,      3,       3,      no,     no,     no,    no}},
    {"sbtn",          member<&ClickerSettings::sbtn>(),            0,    {  4,      4,      4,       4,      no,     no,     no,    no}},
    {"stype",         member<&ClickerSettings::stype>(),           0,    {  5,      5,      5,       5,      no,     no,     no,    no}},
    // 0: rptTimes actions; 1: until stopped; 2: for runH:runM:runS.
    {"rptMode",       member<&ClickerSettings::rptMode>(),         1,    {  6,      6,      6,       6,      no,     no,     no,    no}},
    {"rptTimes",      member<&ClickerSettings::rptTimes>(),       10,    {  7,      7,      7,       7,      no,     no,     no,    no}},
    {"locMode",       member<&ClickerSettings::locMode>(),         0,    {  8,      8,      8,       8,      no,     no,     no,    no}},
    {"fixedX",        member<&ClickerSettings::fixedX>(),          0,    {  9,      9,      9,       no,     no,     no,     no,    no}},
    {"fixedY",        member<&ClickerSettings::fixedY>(),          0,    { 10,     10,     10,       no,     no,     no,     no,    no}},
    {"tmv",           member<&TrackerSettings::tmv>(),          true,    { 11,     no,     11,       no,     no,      0,     no,    no}},
    {"tclk",          member<&TrackerSettings::tclk>(),         true,    { 12,     no,     12,       no,     no,      1,     no,    no}},
    {"tscr",          member<&TrackerSettings::tscr>(),         true,    { 13,     no,     13,       no,     no,      2,     no,    no}},
    {"tkey",          member<&TrackerSettings::tkey>(),         true,    { 14,     no,     14,       no,     no,      3,     no,    no}},
    {"trel",          member<&TrackerSettings::trel>(),        false,    { 15,     no,     15,       no,     no,      4,     no,    no}},
    {"tspd",          member<&TrackerSettings::tspd>(),          1.0,    { 16,     no,     16,       no,     no,      5,     no,    no}},
    {"tloop",         member<&TrackerSettings::tloop>(),       false,    { 17,     no,     17,       no,     no,      6,     no,    no}},
    {"tloopMs",       member<&TrackerSettings::tloopMs>(),       500,    { 18,     no,     18,       no,     no,      7,     no,    no}},
    // The hotkeys default to F8, F7, F6 and F9.
    {"hkRec",         member<&HotkeySet::hkRec>(),               119,    { 19,     no,     no,       no,     no,     no,     no,    no}},
    {"hkPlay",        member<&HotkeySet::hkPlay>(),              118,    { 20,     no,     no,       no,     no,     no,     no,    no}},
    // Index 21 of the settings line, kReservedSettingsIndex, is no field's.
    {"hkAuto",        member<&HotkeySet::hkAuto>(),              117,    { 22,     no,     no,       no,     no,     no,     no,    no}},
    {"ksh",           member<&KeySpamSettings::ksh>(),             0,    { 23,     11,     19,       no,      0,     no,     no,    no}},
    {"ksm",           member<&KeySpamSettings::ksm>(),             0,    { 24,     12,     20,       no,      1,     no,     no,    no}},
    {"kss",           member<&KeySpamSettings::kss>(),             0,    { 25,     13,     21,       no,      2,     no,     no,    no}},
    {"ksms",          member<&KeySpamSettings::ksms>(),          100,    { 26,     14,     22,       no,      3,     no,     no,    no}},
    {"ksRptMode",     member<&KeySpamSettings::ksRptMode>(),       1,    { 27,     15,     23,       no,      4,     no,     no,    no}},
    {"ksRptTimes",    member<&KeySpamSettings::ksRptTimes>(),     10,    { 28,     16,     24,       no,      5,     no,     no,    no}},
    {"hkKeySpam",     member<&HotkeySet::hkKeySpam>(),           120,    { 29,     no,     no,       no,     no,     no,     no,    no}},
    // The space bar; set by reassignment, not by updateKeySpam.
    {"keySpamTarget", member<&KeySpamSettings::keySpamTarget>(),  32,    { 30,     17,     no,       no,     no,     no,     no,    no}},
    // A run "for H:M:S" (rptMode 2) of the auto-clicker and the key spammer.
    {"runH",          member<&ClickerSettings::runH>(),            0,    { no,     no,     25,        9,     no,     no,      0,     0}, 0},
    {"runM",          member<&ClickerSettings::runM>(),            0,    { no,     no,     26,       10,     no,     no,      1,     1}, 0},
    {"runS",          member<&ClickerSettings::runS>(),            0,    { no,     no,     27,       11,     no,     no,      2,     2}, 0},
    {"ksRunH",        member<&KeySpamSettings::ksRunH>(),          0,    { no,     no,     28,       no,      6,     no,      3,     3}, 0},
    {"ksRunM",        member<&KeySpamSettings::ksRunM>(),          0,    { no,     no,     29,       no,      7,     no,      4,     4}, 0},
    {"ksRunS",        member<&KeySpamSettings::ksRunS>(),          0,    { no,     no,     30,       no,      8,     no,      5,     5}, 0},
    // The passes of a playback that does not loop for ever (tloop false).
    {"tloopTimes",    member<&TrackerSettings::tloopTimes>(),      1,    { no,     no,     31,       no,     no,      8,      6,    no}, 1},
    // Humanised actions: the interval ± up to rndMs, a hold of up to holdMs
    // between press and release, a point up to areaPx away on either axis.
    {"rndMs",         member<&ClickerSettings::rndMs>(),           0,    { no,     no,     32,       12,     no,     no,      7,     6}, 0, kMaxSpreadMs},
    {"holdMs",        member<&ClickerSettings::holdMs>(),          0,    { no,     no,     33,       13,     no,     no,      8,     7}, 0, kMaxHoldMs},
    {"areaPx",        member<&ClickerSettings::areaPx>(),          0,    { no,     no,     34,       14,     no,     no,      9,     8}, 0, kMaxAreaPx},
    {"ksRndMs",       member<&KeySpamSettings::ksRndMs>(),         0,    { no,     no,     35,       no,      9,     no,     10,     9}, 0, kMaxSpreadMs},
    // The modifiers of each hotkey: Ctrl 1, Alt 2, Shift 4, Super 8, added up.
    {"hkRecMods",     member<&HotkeySet::hkRecMods>(),             0,    { no,     no,     no,       no,     no,     no,     11,    no}, 0, kAllModifiers},
    {"hkPlayMods",    member<&HotkeySet::hkPlayMods>(),            0,    { no,     no,     no,       no,     no,     no,     12,    no}, 0, kAllModifiers},
    {"hkAutoMods",    member<&HotkeySet::hkAutoMods>(),            0,    { no,     no,     no,       no,     no,     no,     13,    no}, 0, kAllModifiers},
    {"hkKeySpamMods", member<&HotkeySet::hkKeySpamMods>(),         0,    { no,     no,     no,       no,     no,     no,     14,    no}, 0, kAllModifiers},
    // The modifiers held around the key spammer's target: those, and AltGr 16.
    {"keySpamTargetMods", member<&KeySpamSettings::keySpamTargetMods>(), 0, { no,   no,     no,       no,     no,     no,     15,    10}, 0, kAllTargetModifiers},
};
// clang-format on

}  // namespace settings_fields_detail

inline constexpr std::span<const SettingsField> kSettingsFields{settings_fields_detail::kRows};

// The field's index in the list, or kNotCarried.
constexpr int8_t positionIn(const SettingsField& field, FieldList list) {
    return field.positions[size_t(list)];
}

// The fields of a list by index; a gap (the reserved value of the settings
// line) is nullptr. The list's length is its number of values.
std::span<const SettingsField* const> fieldsIn(FieldList list);

// Converts the text as the field's type and stores it. False, storing
// nothing, when an integer or real field holds no number of its range; a
// truth field takes any text, true exactly when it is trueText.
bool storeFieldText(const SettingsField& field, const std::string& text, const char* trueText);

// An update call's arguments (the page's or a panel's text, cleaned and
// split), stored one after the other in the call's order; truth values are
// the text "true". True when every field was stored; with too few
// arguments nothing is, and a bad one ends the call with the earlier ones
// kept. The fields of the extra lines, at the call's end, are optional:
// those not given keep their values.
bool storeUpdateArguments(FieldList call, const std::string& args);

// Whether the field is carried by an extra line (and so is optional in its
// update call, and written only when some value of its line is not its
// default).
bool inExtraLine(const SettingsField& field);

// Every field of the record back to its default.
void restoreDefaults(FieldRecord record);
// The integer settings field at this address back to its default.
void restoreDefault(std::atomic<int32_t>& field);
// This field back to its default.
void restoreDefault(const SettingsField& field);
// Every settings field of a newly made state to its default.
void setInitialSettings(AppState& state);
