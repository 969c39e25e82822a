// Nothing marks the session as changed: it is written every five seconds, at
// exit and, if it comes to that, from the crash handler.
#include "store/autosave.h"

#include "app/state.h"
#include "app/workers.h"
#include "platform/platform.h"
#include "store/session_file.h"

void autosaveThread() {
    AppState& s = appState();
    while (s.running) {
        for (int step = 0; step < 50 && s.running; ++step) platform::sleepMs(100);
        if (s.running) saveSession();
    }
}

void saveOnCrash() { saveSessionAfterCrash(); }
