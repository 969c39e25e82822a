// What the last save of each file came to, so that a failed save is shown to
// the user (the status report's "saveError") until the same file saves again.
#pragma once

#include <string>

enum class SavedFile { Session, AppSettings, Theme };

// Records one save of the file at path: failure is "" for a success, else why
// it failed. Takes profilesLock for a moment; not for a crash handler.
void noteSaveOutcome(SavedFile file, const std::string& path, const std::string& failure);
// The text of the latest failure of a file that has not saved since; "" when
// every file's last save succeeded.
std::string lastSaveError();
// Forgets every outcome, as at start-up; for tests.
void forgetSaveOutcomes();
