// The session file and the three line formats it shares with exported profiles.
#pragma once

#include <string>

#include "app/state.h"

std::string formatSettingsLine();
void applySettingsLine(const std::string& text);
std::string formatProfileSettings();
void applyProfileSettings(const std::string& text);
std::string formatEventLine(const MacroEvent& event);
void appendEventLine(std::string& out, const MacroEvent& event);
// Reads one event line; false (and event untouched) when a field is missing or
// bad. With deltaOptional a seven-field line reads with delta 0.
bool parseEventLine(const std::string& line, MacroEvent& event, bool deltaOptional);

// Writes the whole session; skipped when profilesLock is busy. Safe from any
// thread, including a crash handler.
void saveSession();
// The periodic save: as saveSession, and skipped too while the file holds the
// session as it is (the last write succeeded and nothing changed since).
void saveSessionIfChanged();
// The save at the end of the run: a lock that a hook holds for a moment, or a
// periodic save still writing, does not make it lose the last changes.
// Returns why it failed, "" when it did not.
std::string saveSessionAtExit();
// The save a crash handler tries once: it never waits on the lock, and writes
// even when a save of the crashing thread never finished.
void saveSessionAfterCrash();
// Reads sessionPath; true when at least one profile was read and installed.
bool loadSession();
enum class SessionLoad {
    Loaded,      // at least one profile read and installed
    Missing,     // no file
    Empty,       // a file of no bytes
    Unreadable,  // a file that cannot be read or holds no session
};
SessionLoad loadSessionFile();
// Loads a session from its text (a byte-order mark already dropped); true
// when at least one profile was read and installed.
bool loadSessionText(const std::string& text);

// How long the last save held profilesLock to copy the profiles; for the
// benchmark.
int64_t lastSaveLockHoldNanoseconds();

// The complete text of a session file for these profiles; exposed for tests
// and the benchmark.
std::string formatSession(const std::string& settingsLine, int32_t current,
                          const std::vector<Profile>& profiles);
