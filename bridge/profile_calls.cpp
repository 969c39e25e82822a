// The page calls of the profile list, the export and import of a profile,
// and the notices of start-up.
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "model/state.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "store/profile_files.h"
#include "store/profiles.h"
#include "text/arguments.h"

namespace {

// What an export or import did, for the page: nothing when the dialog was
// cancelled, else the file and either what was done or why it failed.
std::string fileOutcome(const std::string& path, const std::string& error, const std::string& name) {
    return "{\"path\":" + jsonString(path) + ",\"error\":" + jsonString(error) + ",\"name\":" + jsonString(name) + "}";
}

std::string nameOutcome(const ProfileNameOutcome& outcome) {
    return std::string("{\"done\":") + (outcome.done ? "true" : "false") + ",\"message\":" + jsonString(outcome.message) +
           "}";
}

}  // namespace

std::string callRenameProfile(const std::string& args) {
    return nameOutcome(renameCurrentProfile(stripArgumentText(args)));
}

// The copy carries the live settings already: nothing to apply.
std::string callDuplicateProfile(const std::string& args) {
    return nameOutcome(duplicateCurrentProfile(stripArgumentText(args)));
}

std::string callClearProfile(const std::string&) {
    clearCurrentProfile();
    return "";
}

std::string callAddProfile(const std::string& args) {
    addProfile(stripArgumentText(args));
    return "";
}

std::string callDeleteProfile(const std::string&) {
    deleteCurrentProfile();
    return "";
}

std::string callSwitchProfile(const std::string& args) {
    int32_t index;
    if (parseInt32(stripArgumentText(args), index)) switchToProfile(index);
    return "";
}

// Names are escaped fully: a name read from a file may hold a tab or another
// control byte, which would otherwise make the page's whole call fail.
std::string callGetProfiles(const std::string&) {
    std::vector<std::string> names;
    int32_t current = 0;
    {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        current = s.currentProfile;
        names.reserve(s.profiles.size());
        for (const Profile& p : s.profiles) names.push_back(p.name);
    }
    std::string out = "{\"current\":" + std::to_string(current) + ",\"names\":[";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out.push_back(',');
        out += jsonString(names[i]);
    }
    out += "],\"cap\":-1}";
    return out;
}

std::string callExportProfile(const std::string&) {
    // The copy is what gets written, whatever happens while the dialog is open.
    Profile copy;
    if (!copyCurrentProfile(copy)) return "";
    std::string path;
    if (!platform::chooseProfileFileToSave(appState().mainWindow, exportFileName(copy.name), path)) return "";
    std::string failure;
    if (!exportProfileToFile(copy, path, &failure)) return fileOutcome(path, failure, copy.name);
    return fileOutcome(path, "", copy.name);
}

std::string callImportProfile(const std::string&) {
    std::string path, text, name;
    if (!platform::chooseProfileFileToOpen(appState().mainWindow, path)) return "";
    if (!readWholeFile(path, text)) return fileOutcome(path, "the file cannot be read", "");
    if (!importProfileText(text, &name)) return fileOutcome(path, "it is not a profile file: its first line, the profile's name, is empty", "");
    return fileOutcome(path, "", name);
}

// Start-up notices, as a JSON array of texts.
std::string callGetNotices(const std::string&) {
    std::string list = "[";
    for (const std::string& notice : appState().notices) {
        if (list.size() > 1) list += ",";
        list += jsonString(notice);
    }
    return list + "]";
}
