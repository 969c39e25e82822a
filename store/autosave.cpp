// The session is written every five seconds when it has changed (the change
// counter under profilesLock and the settings line tell), at exit and, if it
// comes to that, from the crash handler.
#include "store/autosave.h"

#include "model/state.h"
#include "model/state_changes.h"
#include "store/session_file.h"

void autosaveThread() {
    AppState& s = appState();
    while (s.running) {
        sleepWhileRunning(5000);
        if (s.running) saveSessionIfChanged();
    }
}

void saveOnCrash() { saveSessionAfterCrash(); }
