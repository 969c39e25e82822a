#include "store/profile_files.h"

#include "bridge/page_calls.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/session_file.h"

namespace {

bool nextLine(const std::string& text, size_t& position, std::string& line) {
    if (position >= text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string::npos) end = text.size();
    size_t length = end - position;
    if (length > 0 && text[position + length - 1] == '\r') --length;
    line.assign(text, position, length);
    position = end + 1;
    return true;
}

bool copyCurrentProfile(Profile& copy) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return false;
    copy = s.profiles[size_t(s.currentProfile)];
    return true;
}

// A second line that is not a settings line is read again as an event line.
void readSettingsLine(const std::string& text, size_t& position, Profile& profile) {
    size_t afterName = position;
    std::string line;
    if (!nextLine(text, position, line)) return;
    if (line.size() >= 9 && line.compare(0, 9, "SETTINGS:") == 0) {
        applySettingsLine(line.substr(9));
        profile.settings = formatProfileSettings();
    } else {
        position = afterName;
    }
}

void readEvents(const std::string& text, size_t position, Profile& profile) {
    std::string line;
    MacroEvent event;
    while (nextLine(text, position, line)) {
        if (line.empty()) continue;
        if (parseEventLine(line, event, true)) profile.events.push_back(event);
    }
}

}  // namespace

std::string formatProfileFile(const Profile& profile) {
    std::string out;
    out.reserve(256 + profile.events.size() * 32);
    out += profile.name + "\r\n";
    out += "SETTINGS:" + formatSettingsLine() + "\r\n";
    for (const MacroEvent& e : profile.events) {
        appendEventLine(out, e);
        out += "\r\n";
    }
    return out;
}

bool exportProfileToFile(const Profile& profile, const std::string& path) {
    return writeWholeFile(path, formatProfileFile(profile));
}

bool importProfileFromFile(const std::string& path) {
    std::string text;
    return readWholeFile(path, text) && importProfileText(text);
}

bool importProfileText(const std::string& text) {
    size_t position = 0;
    std::string name;
    if (!nextLine(text, position, name) || name.empty()) return false;
    Profile imported{name + " (Imported)", "", {}};
    readSettingsLine(text, position, imported);
    readEvents(text, position, imported);
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.push_back(std::move(imported));
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
    return true;
}

std::string callExportProfile(const std::string&) {
    // The copy is what gets written, whatever happens while the dialog is open.
    Profile copy;
    if (!copyCurrentProfile(copy)) return "";
    std::string path;
    if (!platform::chooseProfileFileToSave(path)) return "";
    exportProfileToFile(copy, path);
    return "";
}

std::string callImportProfile(const std::string&) {
    std::string path;
    if (platform::chooseProfileFileToOpen(path)) importProfileFromFile(path);
    return "";
}
