#include "platform/linux/x11/keycode_table_linux.h"

#include <X11/keysym.h>

#include "platform/linux/keys/keysym_vk_linux.h"

namespace {

bool isKeypadDigit(KeySym keysym) {
    return (keysym >= XK_KP_0 && keysym <= XK_KP_9) || keysym == XK_KP_Decimal;
}

}  // namespace

// Keypad keys give their digit codes (0x60..0x69) whatever the NumLock state:
// their first level is the cursor key, the digit is the second.
void buildKeycodeTable(Display* display, int32_t (&table)[256]) {
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* keysyms = XGetKeyboardMapping(display, KeyCode(minKeycode), maxKeycode - minKeycode + 1,
                                          &perKeycode);
    for (int keycode = 0; keycode < 256; ++keycode) {
        table[keycode] = 0;
        if (!keysyms || keycode < minKeycode || keycode > maxKeycode || perKeycode < 1) continue;
        const KeySym* levels = keysyms + (keycode - minKeycode) * perKeycode;
        const KeySym second = perKeycode > 1 ? levels[1] : NoSymbol;
        table[keycode] = virtualKeyForKeysym(isKeypadDigit(second) ? second : levels[0]);
    }
    if (keysyms) XFree(keysyms);
}
