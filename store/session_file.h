// The session file and the three line formats it shares with exported profiles.
#pragma once

#include <string>
#include <string_view>

#include "model/state.h"

// A settings text is a settings line (or a profile's own line) and, when a
// value of its extra line is not its default, a line break and that extra
// line; reading one without the extra line gives that line's fields their
// defaults. A Profile's settings hold such a text.
// formatSettingsLine never waits for profilesLock (a save formats it from
// any thread, a crash handler's too) and leaves the click sequence out, as
// the session's settings line does; formatLiveSettings, the live settings
// that Undo and an export carry, holds it, as a profile's text does.
std::string formatSettingsLine();
std::string formatLiveSettings();
void applySettingsLine(const std::string& text);
std::string formatProfileSettings();
void applyProfileSettings(const std::string& text);
// The text typer's values, when any differs from its defaults, follow as a
// line of their own after kTyperKeyword: mode, Enter, the delay between
// characters, and the text (escapeLineText), which may hold commas. After
// those lines a text may carry the live click sequence, a line per step with
// its keyword, as a profile's file lines do; applying a text makes its steps
// (or none) the live sequence.
struct SettingsText {
    std::string line, extra;  // extra is "" when there is none
    std::string typer;        // the typer's values, "" when there are none
    std::string steps;        // the step lines, keyword and all, joined by '\n'; "" for none
};
SettingsText splitSettingsText(const std::string& text);
std::string joinSettingsText(const std::string& line, const std::string& extra, const std::string& steps = "");
// The text with its typer line replaced by this one ("": none).
std::string withTyperLine(const std::string& text, const std::string& typer);
// The keywords of the extra lines in a file.
inline constexpr char kSettingsExtraKeyword[] = "SETTINGS2:";
inline constexpr char kProfileExtraKeyword[] = "PROFILESETTINGS2:";
// The typer's line, after the extra line of the settings or of a profile.
inline constexpr char kTyperKeyword[] = "KEYTEXT:";
// A macro's typed-text row: its time, a comma and the text (escapeLineText).
inline constexpr char kTypedTextKeyword[] = "TYPE:";
// A step of a profile's click sequence, one line each after the profile's
// settings lines (and its typer's line), written only when it has steps:
// CLICKSTEP:x,y,button,type,waitMs. A reader drops a line with a value
// missing, not a number or out of its range, and the steps past
// kMaxClickSteps; values after the fifth are ignored.
inline constexpr char kClickStepKeyword[] = "CLICKSTEP:";
std::string formatClickStepLine(const ClickStep& step);
bool parseClickStepLine(std::string_view line, ClickStep& step);
// The step lines of a settings text as the live sequence, replacing it.
void applyClickSteps(const std::string& stepLines);
std::string formatEventLine(const MacroEvent& event);
void appendEventLine(std::string& out, const MacroEvent& event);
// Reads one event line; false (and event untouched) when a field is missing or
// bad. With deltaOptional a seven-field line reads with delta 0. A key's
// ninth field is its scan code (MacroEvent::scan); one that is not a scan
// code reads as 0, and further fields are skipped. A typed-text row is its
// own line (kTypedTextKeyword), which keeps its text (keepTypedText).
bool parseEventLine(std::string_view line, MacroEvent& event, bool deltaOptional);

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

#ifdef VARNET_BENCH_PROBES
// In the benchmarks' build only: how long the last save that got to write
// spent formatting its text, event lines and the lines cache included.
int64_t lastSaveFormattingNanoseconds();
#endif

// The complete text of a session file for these profiles; exposed for tests
// and the benchmark.
std::string formatSession(const std::string& settingsLine, int32_t current,
                          const std::vector<Profile>& profiles);
