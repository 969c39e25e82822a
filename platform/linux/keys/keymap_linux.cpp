#include "platform/linux/keys/keymap_linux.h"

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <cstddef>

namespace keymap {
namespace {

struct KeyEntry {
    uint32_t vk;
    Keysym keysym;
    const char* name;  // as Windows names it; nullptr: use the keysym's name
};

// Ordered by code. Some codes share a keysym (Shift and Left Shift, Print
// and Snapshot): X11 has one key where Windows has two codes.
const KeyEntry kKeys[] = {
    {0x03, XK_Cancel, nullptr},
    {0x08, XK_BackSpace, "Backspace"},
    {0x09, XK_Tab, "Tab"},
    {0x0C, XK_Clear, "Num 5"},
    {0x0D, XK_Return, "Enter"},
    {0x10, XK_Shift_L, "Shift"},
    {0x11, XK_Control_L, "Ctrl"},
    {0x12, XK_Alt_L, "Alt"},
    {0x13, XK_Pause, "Pause"},
    {0x14, XK_Caps_Lock, "Caps Lock"},
    {0x15, XK_Hangul, nullptr},
    {0x19, XK_Kanji, nullptr},
    {0x1B, XK_Escape, "Esc"},
    {0x1C, XK_Henkan, nullptr},
    {0x1D, XK_Muhenkan, nullptr},
    {0x20, XK_space, "Space"},
    {0x21, XK_Prior, "Page Up"},
    {0x22, XK_Next, "Page Down"},
    {0x23, XK_End, "End"},
    {0x24, XK_Home, "Home"},
    {0x25, XK_Left, "Left"},
    {0x26, XK_Up, "Up"},
    {0x27, XK_Right, "Right"},
    {0x28, XK_Down, "Down"},
    {0x29, XK_Select, nullptr},
    {0x2A, XK_Print, nullptr},
    {0x2B, XK_Execute, nullptr},
    {0x2C, XK_Print, "Sys Req"},
    {0x2D, XK_Insert, "Insert"},
    {0x2E, XK_Delete, "Delete"},
    {0x2F, XK_Help, nullptr},
    {0x5B, XK_Super_L, nullptr},
    {0x5C, XK_Super_R, nullptr},
    {0x5D, XK_Menu, nullptr},
    {0x5F, XF86XK_Sleep, nullptr},
    {0x6A, XK_KP_Multiply, "Num *"},
    {0x6B, XK_KP_Add, "Num +"},
    {0x6C, XK_KP_Separator, nullptr},
    {0x6D, XK_KP_Subtract, "Num -"},
    {0x6E, XK_KP_Decimal, "Num Del"},
    {0x6F, XK_KP_Divide, "/"},
    {0x90, XK_Num_Lock, "Num Lock"},
    {0x91, XK_Scroll_Lock, "Scroll Lock"},
    {0xA0, XK_Shift_L, "Shift"},
    {0xA1, XK_Shift_R, "Right Shift"},
    {0xA2, XK_Control_L, "Ctrl"},
    {0xA3, XK_Control_R, "Ctrl"},
    {0xA4, XK_Alt_L, "Alt"},
    {0xA5, XK_Alt_R, "Alt"},
    {0xA6, XF86XK_Back, nullptr},
    {0xA7, XF86XK_Forward, nullptr},
    {0xA8, XF86XK_Refresh, nullptr},
    {0xA9, XF86XK_Stop, nullptr},
    {0xAA, XF86XK_Search, nullptr},
    {0xAB, XF86XK_Favorites, nullptr},
    {0xAC, XF86XK_HomePage, nullptr},
    {0xAD, XF86XK_AudioMute, nullptr},
    {0xAE, XF86XK_AudioLowerVolume, nullptr},
    {0xAF, XF86XK_AudioRaiseVolume, nullptr},
    {0xB0, XF86XK_AudioNext, nullptr},
    {0xB1, XF86XK_AudioPrev, nullptr},
    {0xB2, XF86XK_AudioStop, nullptr},
    {0xB3, XF86XK_AudioPlay, nullptr},
    {0xB4, XF86XK_Mail, nullptr},
    {0xB5, XF86XK_AudioMedia, nullptr},
    {0xB6, XF86XK_MyComputer, nullptr},
    {0xB7, XF86XK_Calculator, nullptr},
    {0xBA, XK_semicolon, ";"},
    {0xBB, XK_equal, "="},
    {0xBC, XK_comma, ","},
    {0xBD, XK_minus, "-"},
    {0xBE, XK_period, "."},
    {0xBF, XK_slash, "/"},
    {0xC0, XK_grave, "`"},
    {0xDB, XK_bracketleft, "["},
    {0xDC, XK_backslash, "\\"},
    {0xDD, XK_bracketright, "]"},
    {0xDE, XK_apostrophe, "'"},
    {0xE2, XK_less, "\\"},
};

// Names of the numeric-pad digits, which Windows writes as "Num 0".."Num 9".
const char* const kNumPadNames[] = {"Num 0", "Num 1", "Num 2", "Num 3", "Num 4",
                                    "Num 5", "Num 6", "Num 7", "Num 8", "Num 9"};
const char* const kFunctionNames[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                      "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                      "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};
const char* const kLetterAndDigitNames[] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F", "G", "H",
    "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};

const KeyEntry* findCode(uint32_t vk) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.vk == vk) return &entry;
    }
    return nullptr;
}

}  // namespace

Keysym keysymForVirtualKey(uint32_t vk) {
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);
    const KeyEntry* entry = findCode(vk);
    return entry ? entry->keysym : NoSymbol;
}

const char* standardKeyName(uint32_t vk) {
    if (vk >= '0' && vk <= 'Z' && (vk <= '9' || vk >= 'A'))
        return kLetterAndDigitNames[vk <= '9' ? vk - '0' : vk - 'A' + 10];
    if (vk >= 0x60 && vk <= 0x69) return kNumPadNames[vk - 0x60];
    if (vk >= 0x70 && vk <= 0x87) return kFunctionNames[vk - 0x70];
    const KeyEntry* entry = findCode(vk);
    return entry ? entry->name : nullptr;
}

}  // namespace keymap
