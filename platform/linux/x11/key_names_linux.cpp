// The names the page shows for keys: what the key types on the person's
// active layout where it types a character ("Ü", "É", "+"), AltGr where
// Right Alt is AltGr, the name Windows gives the other keys ("Enter", "F8").
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

#include "model/state.h"
#include "platform/linux/keys/keymap_linux.h"
#include "platform/linux/x11/xtest_output_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

struct DeadKeyName {
    KeySym keysym;
    const char* name;
};
// A dead key types nothing by itself: it is named by its accent.
constexpr DeadKeyName kDeadKeys[] = {
    {XK_dead_grave, "`"},   {XK_dead_acute, "´"},     {XK_dead_circumflex, "^"}, {XK_dead_tilde, "~"},
    {XK_dead_macron, "¯"},  {XK_dead_breve, "˘"},     {XK_dead_abovedot, "˙"},   {XK_dead_diaeresis, "¨"},
    {XK_dead_abovering, "°"}, {XK_dead_doubleacute, "˝"}, {XK_dead_caron, "ˇ"},  {XK_dead_cedilla, "¸"},
    {XK_dead_ogonek, "˛"},
};

// The keys a layout puts characters on, whose name follows the layout: the
// letters and the punctuation keys (the digit row keeps its digits).
bool namedByLayout(int32_t code) {
    return (code >= 'A' && code <= 'Z') || (code >= 0xBA && code <= 0xC0) || (code >= 0xDB && code <= 0xDE) ||
           code == 0xE2;
}

std::string characterName(KeySym keysym) {
    for (const DeadKeyName& dead : kDeadKeys)
        if (dead.keysym == keysym) return dead.name;
    char text[8] = {};
    if (xkb_keysym_to_utf8(xkb_keysym_to_upper(xkb_keysym_t(keysym)), text, sizeof text) <= 1) return "";
    return static_cast<unsigned char>(text[0]) > ' ' ? text : "";
}

}  // namespace

std::string keyDisplayName(int32_t code) {
    const KeySym typed = code > 0 && code < 256 ? xtest_output::keysymTypedBy(uint32_t(code)) : NoSymbol;
    if (code == 0xA5 && typed == XK_ISO_Level3_Shift) return "AltGr";
    if (namedByLayout(code) && typed != NoSymbol) {
        const std::string name = characterName(typed);
        if (!name.empty()) return name;
    }
    if (const char* name = keymap::standardKeyName(uint32_t(code))) return name;
    const keymap::Keysym keysym = code > 0 ? keymap::keysymForVirtualKey(uint32_t(code)) : NoSymbol;
    if (keysym != NoSymbol) {
        if (const char* name = XKeysymToString(keysym)) return name;
    }
    return "Key[" + std::to_string(code) + "]";
}

std::string keyTypedText(int32_t code, int32_t modifiers) {
    constexpr int32_t kNoText = modifier_bit::Ctrl | modifier_bit::Alt | modifier_bit::Super;
    if (code <= 0 || code > 255 || (modifiers & kNoText)) return "";
    const int level = (modifiers & modifier_bit::Shift ? 1 : 0) + (modifiers & modifier_bit::AltGr ? 2 : 0);
    const KeySym keysym = xtest_output::keysymTypedBy(uint32_t(code), level);
    if (keysym == NoSymbol || (keysym >= XK_dead_grave && keysym <= XK_dead_greek)) return "";
    char text[8] = {};
    if (xkb_keysym_to_utf8(xkb_keysym_t(keysym), text, sizeof text) <= 1) return "";
    return static_cast<unsigned char>(text[0]) > ' ' ? text : "";
}

}  // namespace platform
