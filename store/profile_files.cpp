#include "store/profile_files.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "store/change_history.h"
#include "store/data_dir.h"
#include "store/session_file.h"
#include "text/arguments.h"
#include "text/lines.h"

namespace {

// The values of the next line when it is the extra settings line;
// otherwise "", and position stays.
std::string readExtraLine(const std::string& text, size_t& position, const char* keyword) {
    size_t next = position;
    std::string line;
    const size_t length = std::strlen(keyword);
    if (!nextLine(text, next, line) || line.compare(0, length, keyword) != 0) return "";
    position = next;
    return line.substr(length);
}

// The click sequence's lines that follow the settings lines, joined as a
// settings text holds them; position moves past them.
std::string readStepLines(const std::string& text, size_t& position) {
    std::string steps, line;
    const size_t length = sizeof kClickStepKeyword - 1;
    for (size_t next = position; nextLine(text, next, line) && line.compare(0, length, kClickStepKeyword) == 0;
         position = next) {
        if (!steps.empty()) steps += '\n';
        steps += line;
    }
    return steps;
}

// A second line that is not a settings line is read again as an event line.
void readSettingsLine(const std::string& text, size_t& position, Profile& profile) {
    size_t afterName = position;
    std::string line;
    if (!nextLine(text, position, line)) return;
    if (line.size() >= 9 && line.compare(0, 9, "SETTINGS:") == 0) {
        const std::string extra = readExtraLine(text, position, kSettingsExtraKeyword);
        const std::string typer = readExtraLine(text, position, kTyperKeyword);
        applySettingsLine(withTyperLine(joinSettingsText(line.substr(9), extra, readStepLines(text, position)), typer));
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
    const SettingsText settings = splitSettingsText(formatLiveSettings());
    out += "SETTINGS:" + settings.line + "\r\n";
    if (!settings.extra.empty()) out += kSettingsExtraKeyword + settings.extra + "\r\n";
    if (!settings.typer.empty()) out += kTyperKeyword + settings.typer + "\r\n";
    for (const std::string& step : splitFields(settings.steps, '\n')) out += step + "\r\n";
    for (const MacroEvent& e : profile.events) {
        appendEventLine(out, e);
        out += "\r\n";
    }
    return out;
}

bool exportProfileToFile(const Profile& profile, const std::string& path, std::string* failure) {
    // Written like the session: replacing an earlier export never leaves half
    // of either.
    return platform::replaceFileDurably(path, formatProfileFile(profile), failure);
}

bool importProfileFromFile(const std::string& path) {
    std::string text;
    return readWholeFile(path, text) && importProfileText(text);
}

namespace {

bool nameTakenLocked(const AppState& s, const std::string& name) {
    for (const Profile& p : s.profiles)
        if (p.name == name) return true;
    return false;
}

// The file's own name while no profile has it; else marked as imported, and
// numbered from the second such import on, so a round trip adds nothing.
std::string freeImportNameLocked(const AppState& s, const std::string& name) {
    if (!nameTakenLocked(s, name)) return name;
    std::string candidate = name + " (Imported)";
    for (uint64_t n = 2; nameTakenLocked(s, candidate); ++n) candidate = name + " (Imported " + std::to_string(n) + ")";
    return candidate;
}

}  // namespace

bool importProfileText(const std::string& text, std::string* importedName) {
    size_t position = 0;
    std::string name;
    if (!nextLine(text, position, name) || name.empty()) return false;
    const std::string liveBefore = formatLiveSettings();
    Profile imported{name, "", {}};
    readSettingsLine(text, position, imported);
    readEvents(text, position, imported);
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    imported.name = freeImportNameLocked(s, name);
    if (importedName) *importedName = imported.name;
    const int32_t before = s.currentProfile;
    const std::string label = "importing " + quotedName(imported.name);
    s.profiles.push_back(std::move(imported));
    s.currentProfile = int32_t(s.profiles.size() - 1);
    noteEventListEdited();
    ChangeStep step = changeStep(ChangeKind::RemoveProfile, s.profiles.size() - 1, before, label);
    step.settingsLine = liveBefore;
    keepChangeLocked(s, std::move(step));
    return true;
}

namespace {

// Names Windows keeps for devices, whatever follows their first dot.
bool isDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices)
        if (base == device) return true;
    return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

// Never half a character: the cut moves back to where one starts.
void cutToBytes(std::string& text, size_t bytes) {
    if (text.size() <= bytes) return;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    text.resize(bytes);
}

}  // namespace

std::string exportFileName(const std::string& profileName) {
    std::string name;
    for (unsigned char c : profileName) name += c < 0x20 || std::strchr("<>:\"/\\|?*", c) ? '_' : char(c);
    cutToBytes(name, kMaxExportNameBytes);
    // Windows drops a trailing dot or space; a leading dot hides the file elsewhere.
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(0, 1);
    if (isDeviceName(name)) name = "_" + name;
    return (name.empty() ? "profile" : name) + ".mcr";
}

bool copyCurrentProfile(Profile& copy) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return false;
    copy = s.profiles[size_t(s.currentProfile)];
    return true;
}
