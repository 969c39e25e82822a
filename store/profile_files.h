// Exported macro profile files (".mcr"): the profile's name, the live settings
// line and the profile's events. The file work takes a path, so it runs the
// same with or without a dialog.
#pragma once

#include <string>

#include "model/state.h"

// A copy of the current profile taken under profilesLock; false when there is none.
bool copyCurrentProfile(Profile& copy);
// The text of an exported profile for this profile and the live settings.
std::string formatProfileFile(const Profile& profile);
// Writes the profile to path; false, and why in failure, when it could not.
bool exportProfileToFile(const Profile& profile, const std::string& path, std::string* failure = nullptr);
// Reads path as a new profile, applies its settings line to the live settings
// and makes it current; false when nothing was imported.
bool importProfileFromFile(const std::string& path);
// The same for the text of such a file; importedName is the new profile's.
bool importProfileText(const std::string& text, std::string* importedName = nullptr);
// The file name an export offers for a profile: the name made safe for any
// file system (at most this many bytes before ".mcr").
inline constexpr size_t kMaxExportNameBytes = 100;
std::string exportFileName(const std::string& profileName);
