// The profile list. None of these changes the list while a recording runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Copies the live clicker and key-spam settings into the current profile.
void storeProfileSettings();

// The settings a profile carries, or the defaults when it carries none,
// made live.
void applySettingsOfProfile(const std::string& settings);

// Empties the current profile's events and gives it these settings; Undo
// brings back the profile and the live settings line liveBefore. what names
// the change for the page: "clearing".
void emptyCurrentProfile(const std::string& settings, const std::string& liveBefore, const std::string& what);
// The settings a profile carries, or the defaults when it carries none,
// made live.
void applySettingsOfProfile(const std::string& settings);

// Empties the current profile's events and puts the defaults back into its
// settings and the live ones.
void clearCurrentProfile();
// Appends a profile of that name with the live settings and makes it
// current; an empty name adds nothing.
void addProfile(const std::string& name);
// The longest name a profile may be given, in characters.
constexpr size_t kMaxProfileNameLength = 64;
// The current profile takes a new name; a copy of it, events and settings,
// goes after the list's end and becomes current. Each refuses a name that
// is empty, longer than kMaxProfileNameLength or another profile's, answers
// what it did or why not in words for the page, and is undoable.
struct ProfileNameOutcome {
    bool done = false;
    std::string message;
};
ProfileNameOutcome renameCurrentProfile(const std::string& name);
ProfileNameOutcome duplicateCurrentProfile(const std::string& name);
// Deletes the current profile unless it is the only one; the one that takes
// its place applies its settings.
void deleteCurrentProfile();
// Makes the profile at index current and applies its settings; an index
// that names none changes nothing.
void switchToProfile(int32_t index);
