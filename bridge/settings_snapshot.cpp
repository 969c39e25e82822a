#include <cmath>

#include "app/settings_fields.h"
#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"

namespace {

// JSON has no infinity or NaN: such a speed is reported as 0, which the page
// shows as "no valid speed" rather than failing to parse the whole snapshot.
std::string realText(float value) {
    double wide = value;
    return std::isfinite(wide) ? formatGeneral6(wide) : "0";
}

std::string jsonValue(const SettingsField& field) {
    AppState& s = appState();
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: return std::to_string(m.integer(s).load());
    case FieldType::Truth: return m.truth(s) ? "true" : "false";
    case FieldType::Real: return realText(m.real(s));
    }
    return "null";
}

}  // namespace

std::string callGetSettings(const std::string&) {
    std::string out = "{";
    for (const SettingsField* field : fieldsIn(FieldList::Snapshot)) {
        if (out.size() > 1) out.push_back(',');
        out.push_back('"');
        out += field->key;
        out += "\":";
        out += jsonValue(*field);
    }
    out.push_back('}');
    return out;
}
