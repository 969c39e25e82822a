// Placeholder until input capture lands.
#include "app/state.h"
#include "platform/platform.h"
namespace platform {
void captureThreadMain() { appState().captureReady = true; }
void captureThreadStop() {}
}  // namespace platform
