// The reverse of the table the sender uses to press a virtual key: keysym to
// virtual-key code, as a Windows low-level hook would report the key. Left
// and right modifiers keep their own codes (0xA0..0xA5), as the hook gives them.
#include "platform/linux/keysym_vk_linux.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace {

struct KeysymCode {
    KeySym keysym;
    int32_t vk;
};

const KeysymCode kNamedKeys[] = {
    {XK_BackSpace, 0x08}, {XK_Tab, 0x09}, {XK_ISO_Left_Tab, 0x09}, {XK_Clear, 0x0C},
    {XK_Return, 0x0D}, {XK_Pause, 0x13}, {XK_Caps_Lock, 0x14}, {XK_Escape, 0x1B},
    {XK_space, 0x20}, {XK_Prior, 0x21}, {XK_Next, 0x22}, {XK_End, 0x23}, {XK_Home, 0x24},
    {XK_Left, 0x25}, {XK_Up, 0x26}, {XK_Right, 0x27}, {XK_Down, 0x28}, {XK_Select, 0x29},
    {XK_Print, 0x2C}, {XK_Execute, 0x2B}, {XK_Insert, 0x2D}, {XK_Delete, 0x2E}, {XK_Help, 0x2F},
    {XK_Super_L, 0x5B}, {XK_Super_R, 0x5C}, {XK_Menu, 0x5D},
    {XK_KP_Multiply, 0x6A}, {XK_KP_Add, 0x6B}, {XK_KP_Separator, 0x6C}, {XK_KP_Subtract, 0x6D},
    {XK_KP_Decimal, 0x6E}, {XK_KP_Divide, 0x6F}, {XK_KP_Enter, 0x0D},
    {XK_Num_Lock, 0x90}, {XK_Scroll_Lock, 0x91},
    {XK_Shift_L, 0xA0}, {XK_Shift_R, 0xA1}, {XK_Control_L, 0xA2}, {XK_Control_R, 0xA3},
    {XK_Alt_L, 0xA4}, {XK_Alt_R, 0xA5}, {XK_ISO_Level3_Shift, 0xA5}, {XK_Meta_L, 0xA4},
    {XK_Meta_R, 0xA5},
    {XK_semicolon, 0xBA}, {XK_equal, 0xBB}, {XK_comma, 0xBC}, {XK_minus, 0xBD},
    {XK_period, 0xBE}, {XK_slash, 0xBF}, {XK_grave, 0xC0}, {XK_bracketleft, 0xDB},
    {XK_backslash, 0xDC}, {XK_bracketright, 0xDD}, {XK_apostrophe, 0xDE}, {XK_less, 0xE2},
};

bool isKeypadDigit(KeySym keysym) {
    return (keysym >= XK_KP_0 && keysym <= XK_KP_9) || keysym == XK_KP_Decimal;
}

}  // namespace

int32_t virtualKeyForKeysym(KeySym keysym) {
    if (keysym >= XK_a && keysym <= XK_z) return int32_t(0x41 + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return int32_t(0x41 + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9) return int32_t(0x30 + (keysym - XK_0));
    if (keysym >= XK_F1 && keysym <= XK_F24) return int32_t(0x70 + (keysym - XK_F1));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return int32_t(0x60 + (keysym - XK_KP_0));
    for (const KeysymCode& entry : kNamedKeys)
        if (entry.keysym == keysym) return entry.vk;
    return 0;
}

void buildKeycodeTable(Display* display, int32_t (&table)[256]) {
    for (int keycode = 0; keycode < 256; ++keycode) {
        table[keycode] = 0;
        if (keycode < 8) continue;
        const KeyCode code = KeyCode(keycode);
        const KeySym shifted = XkbKeycodeToKeysym(display, code, 0, 1);
        const KeySym plain = XkbKeycodeToKeysym(display, code, 0, 0);
        table[keycode] = virtualKeyForKeysym(isKeypadDigit(shifted) ? shifted : plain);
    }
}
