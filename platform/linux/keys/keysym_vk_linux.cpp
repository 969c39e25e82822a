// The reverse of the table the sender presses virtual keys with, so a key
// recorded here is the key played back there. Where several codes share a
// keysym (Shift and Left Shift, Print and Snapshot) the highest wins: it is
// the code a Windows low-level hook reports for that key.
#include "platform/linux/keys/keysym_vk_linux.h"

#include <X11/keysym.h>

#include <map>

#include "platform/linux/keys/keymap_linux.h"

namespace {

// Keysyms the sender never presses but a keyboard can produce.
const std::pair<KeySym, int32_t> kOtherKeysyms[] = {
    {XK_KP_Enter, 0x0D}, {XK_ISO_Left_Tab, 0x09}, {XK_ISO_Level3_Shift, 0xA5},
    {XK_Meta_L, 0xA4},   {XK_Meta_R, 0xA5},
};

std::map<KeySym, int32_t> buildReverseTable() {
    std::map<KeySym, int32_t> table;
    for (uint32_t vk = 1; vk < 256; ++vk) {
        const KeySym keysym = keymap::keysymForVirtualKey(vk);
        if (keysym != NoSymbol) table[keysym] = int32_t(vk);
    }
    for (const auto& [keysym, vk] : kOtherKeysyms) table.emplace(keysym, vk);
    return table;
}

}  // namespace

int32_t virtualKeyForKeysym(KeySym keysym) {
    static const std::map<KeySym, int32_t> table = buildReverseTable();
    if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
    const auto found = table.find(keysym);
    return found == table.end() ? 0 : found->second;
}
