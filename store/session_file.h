// The session file and the three line formats it shares with exported profiles.
#pragma once

#include <string>

#include "app/state.h"

std::string formatSettingsLine();
void applySettingsLine(const std::string& text);
std::string formatProfileSettings();
void applyProfileSettings(const std::string& text);
std::string formatEventLine(const MacroEvent& event);

// Writes the whole session; skipped when profilesLock is busy.
void saveSession();
// Reads sessionPath; true when at least one profile was read and installed.
bool loadSession();
