#include "model/settings_fields.h"

#include <algorithm>
#include <vector>

#include "text/arguments.h"

namespace {

constexpr size_t lengthOf(FieldList list) {
    size_t length = 0;
    for (const SettingsField& field : kSettingsFields) {
        const int8_t position = positionIn(field, list);
        if (position >= 0) length = std::max(length, size_t(position) + 1);
    }
    return length;
}

template <FieldList list>
constexpr bool eachIndexOnce() {
    std::array<int, lengthOf(list)> uses{};
    for (const SettingsField& field : kSettingsFields) {
        const int8_t position = positionIn(field, list);
        if (position >= 0) ++uses[size_t(position)];
    }
    for (size_t i = 0; i < uses.size(); ++i) {
        const bool reserved = list == FieldList::SettingsLine && i == kReservedSettingsIndex;
        if (uses[i] != (reserved ? 0 : 1)) return false;
    }
    return true;
}

template <FieldList list>
constexpr auto orderOf() {
    static_assert(eachIndexOnce<list>(), "an index of a field list is taken twice or by no field");
    std::array<const SettingsField*, lengthOf(list)> order{};
    for (const SettingsField& field : kSettingsFields) {
        const int8_t position = positionIn(field, list);
        if (position >= 0) order[size_t(position)] = &field;
    }
    return order;
}

template <FieldList list>
constexpr auto kOrder = orderOf<list>();

void storeInitial(const SettingsField& field, AppState& state) {
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: m.integer(state) = int32_t(field.initial); break;
    case FieldType::Truth: m.truth(state) = field.initial != 0; break;
    case FieldType::Real: m.real(state) = float(field.initial); break;
    }
}

}  // namespace

std::span<const SettingsField* const> fieldsIn(FieldList list) {
    switch (list) {
    case FieldList::SettingsLine: return kOrder<FieldList::SettingsLine>;
    case FieldList::ProfileLine: return kOrder<FieldList::ProfileLine>;
    case FieldList::Snapshot: return kOrder<FieldList::Snapshot>;
    case FieldList::SpammerCall: return kOrder<FieldList::SpammerCall>;
    case FieldList::KeySpamCall: return kOrder<FieldList::KeySpamCall>;
    case FieldList::TrackerCall: return kOrder<FieldList::TrackerCall>;
    case FieldList::SettingsMore: return kOrder<FieldList::SettingsMore>;
    case FieldList::ProfileMore: return kOrder<FieldList::ProfileMore>;
    }
    return {};
}

bool storeFieldText(const SettingsField& field, const std::string& text, const char* trueText) {
    AppState& s = appState();
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: {
        int32_t value;
        if (!parseInt32(text, value) || value < field.lowest || value > field.highest) return false;
        m.integer(s) = value;
        return true;
    }
    case FieldType::Truth: m.truth(s) = text == trueText; return true;
    case FieldType::Real: {
        float value;
        if (!parseFloat(text, value)) return false;
        m.real(s) = value;
        return true;
    }
    }
    return false;
}

bool inExtraLine(const SettingsField& field) { return positionIn(field, FieldList::SettingsMore) != kNotCarried; }

bool storeUpdateArguments(FieldList call, const std::string& args) {
    const std::vector<std::string> values = parseArgumentList(args);
    const std::span<const SettingsField* const> fields = fieldsIn(call);
    size_t required = 0;
    for (const SettingsField* field : fields) required += !inExtraLine(*field);
    if (values.size() < required) return false;
    for (size_t i = 0; i < std::min(fields.size(), values.size()); ++i) {
        if (!storeFieldText(*fields[i], values[i], "true")) return false;
    }
    return true;
}

void restoreDefaults(FieldRecord record) {
    for (const SettingsField& field : kSettingsFields) {
        if (field.member.record == record) storeInitial(field, appState());
    }
}

void restoreDefault(std::atomic<int32_t>& target) {
    for (const SettingsField& field : kSettingsFields) {
        if (field.member.integer && &field.member.integer(appState()) == &target) storeInitial(field, appState());
    }
}

void restoreDefault(const SettingsField& field) { storeInitial(field, appState()); }

void setInitialSettings(AppState& state) {
    for (const SettingsField& field : kSettingsFields) storeInitial(field, state);
}
