// Fake backend: nothing to watch; tests feed the hook logic directly.
#include "model/state.h"
#include "platform/platform.h"

namespace platform {

void captureThreadMain() { appState().captureReady = true; }
void captureThreadStop() {}
void captureThreadWake() {}

}  // namespace platform
