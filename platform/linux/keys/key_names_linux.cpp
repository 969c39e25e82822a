// The names the page shows for keys.
#include <X11/Xlib.h>

#include <string>

#include "platform/linux/keys/keymap_linux.h"
#include "platform/platform.h"

namespace platform {

std::string keyDisplayName(int32_t code) {
    if (const char* name = keymap::standardKeyName(uint32_t(code))) return name;
    keymap::Keysym keysym = code > 0 ? keymap::keysymForVirtualKey(uint32_t(code)) : NoSymbol;
    if (keysym != NoSymbol) {
        if (const char* name = XKeysymToString(keysym)) return name;
    }
    return "Key[" + std::to_string(code) + "]";
}

}  // namespace platform
