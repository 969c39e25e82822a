// Exported macro profile files (".mcr"): the profile's name, the live settings
// line and the profile's events. The file work takes a path, so it runs the
// same with or without a dialog.
#pragma once

#include <string>

#include "app/state.h"

// The text of an exported profile for this profile and the live settings.
std::string formatProfileFile(const Profile& profile);
// Writes the profile to path; false when the file could not be written.
bool exportProfileToFile(const Profile& profile, const std::string& path);
// Reads path as a new profile, applies its settings line to the live settings
// and makes it current; false when nothing was imported.
bool importProfileFromFile(const std::string& path);
// The same for the text of such a file.
bool importProfileText(const std::string& text);
