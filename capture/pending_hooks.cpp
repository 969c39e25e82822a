// Placeholders until the hook logic lands: nothing is swallowed or recorded.
#include "capture/hook_logic.h"
bool handleKeyboardInput(const InputEvent&) { return false; }
bool handleMouseInput(const InputEvent&) { return false; }
void handleRawMotion(const InputEvent&) {}
