#include "store/session_rescue.h"

#include <cstdio>

#include "model/state.h"
#include "platform/platform.h"
#include "store/session_file.h"

namespace {

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    // Start-up runs alone, so the shared result of localtime is safe here.
    const std::tm* local = std::localtime(&now);
    return local ? *local : std::tm{};
}

bool moveAside(const std::string& sessionPath, std::string& kept) {
    const std::tm when = localNow();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        kept = keptSessionName(sessionPath, when, attempt);
        if (platform::pathExists(kept)) continue;
        if (platform::moveFile(sessionPath, kept)) return true;
        if (!platform::pathExists(kept)) return false;  // refused, not a name taken meanwhile
    }
    return false;
}

void keepUnreadableSession() {
    AppState& s = appState();
    std::string kept;
    if (moveAside(s.sessionPath, kept)) {
        s.notices.push_back("Your session file could not be read, so Varnet started with a new "
                            "default profile. The file was kept, unchanged, as " + kept + ".");
        return;
    }
    s.notices.push_back("Your session file " + s.sessionPath +
                        " could not be read, nor renamed to keep it safe. Varnet started with a "
                        "new default profile and will not save the session during this run, so "
                        "that the file stays as it is.");
    s.sessionPath.clear();
}

}  // namespace

std::string keptSessionName(const std::string& sessionPath, const std::tm& when, int attempt) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    std::string name = sessionPath + ".unreadable-" + stamp;
    if (attempt > 1) name += "-" + std::to_string(attempt);
    return name;
}

bool loadSessionKeepingUnreadable() {
    switch (loadSessionFile()) {
    case SessionLoad::Loaded: return true;
    case SessionLoad::Unreadable: keepUnreadableSession(); return false;
    case SessionLoad::Missing:
    case SessionLoad::Empty: return false;
    }
    return false;
}
