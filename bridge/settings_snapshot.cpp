#include "bridge/settings_snapshot.h"

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "model/key_typer.h"
#include "model/settings_fields.h"
#include "model/state.h"
#include "store/data_dir.h"
#include "text/arguments.h"

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

// The click sequence as [[x,y,button,type,waitMs],...], after the fields
// and only when it has steps.
void appendClickSteps(std::string& out) {
    std::vector<ClickStep> steps;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        steps = s.clickSteps;
    }
    if (steps.empty()) return;
    out += ",\"clickSteps\":[";
    for (size_t i = 0; i < steps.size(); ++i) {
        const ClickStep& step = steps[i];
        if (i > 0) out.push_back(',');
        out += '[' + std::to_string(step.x) + ',' + std::to_string(step.y) + ',' + std::to_string(step.button) +
               ',' + std::to_string(step.type) + ',' + std::to_string(step.waitMs) + ']';
    }
    out.push_back(']');
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
    // Only where the typer is in use: a snapshot without it is as it was.
    if (keyTyperInUse()) {
        const KeyTyperSettings& t = appState().keyTyper;
        out += ",\"ksMode\":" + std::to_string(t.mode.load());
        out += t.enter ? ",\"ksEnter\":true" : ",\"ksEnter\":false";
        out += ",\"ksCharMs\":" + std::to_string(t.characterDelayMs.load());
        out += ",\"ksText\":" + jsonString(keyTyperText());
    }
    appendClickSteps(out);
    out.push_back('}');
    return out;
}

void writeSettingsSideFile() {
    static std::string writtenPath, written;  // UI thread only
    const std::string snapshot = callGetSettings("");
    const std::string path = sideFilePath("settings.txt");
    if ((snapshot != written || path != writtenPath) && writeWholeFile(path, snapshot)) {
        writtenPath = path;
        written = snapshot;
    }
}
