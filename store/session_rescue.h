// Start-up's load of the session file, which never lets a save write over a
// file it could not read, and the notices that tell the user what happened.
#pragma once

#include <ctime>
#include <string>

// Loads sessionPath. A file that exists and is not empty but does not load is
// first renamed aside (see keptSessionName) so that no save can write over
// it, and a notice names where it went; if even that fails, saving the
// session is switched off for this run. True when profiles were loaded.
bool loadSessionKeepingUnreadable();

// "<sessionPath>.unreadable-YYYYMMDD-HHMMSS", the local time given; from the
// second attempt on, "-2", "-3" … is added, so an earlier one is never replaced.
std::string keptSessionName(const std::string& sessionPath, const std::tm& when, int attempt);
