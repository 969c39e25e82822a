// Virtual-key codes to the key codes of Qt, in which KDE's shortcut service
// takes its shortcuts: printable keys by their unshifted character on a US
// keyboard, the others from Qt's block of special keys. The numeric pad is
// left out: kwin matches its keys by character alone, so a shortcut on the
// pad's 1 would take the 1 above the letters from every window too.
#include "model/state.h"
#include "platform/linux/kde/global_shortcuts_linux.h"

namespace platform::kde_shortcuts {
namespace {

constexpr int32_t kQtShift = 0x02000000, kQtCtrl = 0x04000000, kQtAlt = 0x08000000, kQtMeta = 0x10000000;
constexpr int32_t kQtF1 = 0x01000030;

struct KeyPair {
    int32_t vk;
    int32_t qt;
};

constexpr KeyPair kSpecialKeys[] = {
    {0x08, 0x01000003},  // Backspace
    {0x09, 0x01000001},  // Tab
    {0x0D, 0x01000004},  // Return
    {0x13, 0x01000008},  // Pause
    {0x14, 0x01000024},  // Caps Lock
    {0x1B, 0x01000000},  // Escape
    {0x20, 0x20},        // Space
    {0x21, 0x01000016},  // Page Up
    {0x22, 0x01000017},  // Page Down
    {0x23, 0x01000011},  // End
    {0x24, 0x01000010},  // Home
    {0x25, 0x01000012},  // Left
    {0x26, 0x01000013},  // Up
    {0x27, 0x01000014},  // Right
    {0x28, 0x01000015},  // Down
    {0x2C, 0x01000009},  // Print
    {0x2D, 0x01000006},  // Insert
    {0x2E, 0x01000007},  // Delete
    {0x5D, 0x01000055},  // Menu
    {0x90, 0x01000025},  // Num Lock
    {0x91, 0x01000026},  // Scroll Lock
    {0xAD, 0x01000071},  // Volume mute
    {0xAE, 0x01000070},  // Volume down
    {0xAF, 0x01000072},  // Volume up
    {0xB0, 0x01000083},  // Next track
    {0xB1, 0x01000082},  // Previous track
    {0xB2, 0x01000081},  // Stop media
    {0xB3, 0x01000086},  // Play/Pause
    {0xBA, ';'},
    {0xBB, '='},
    {0xBC, ','},
    {0xBD, '-'},
    {0xBE, '.'},
    {0xBF, '/'},
    {0xC0, '`'},
    {0xDB, '['},
    {0xDC, '\\'},
    {0xDD, ']'},
    {0xDE, '\''},
};

int32_t qtKeyOf(int32_t vk) {
    const bool digit = vk >= '0' && vk <= '9', letter = vk >= 'A' && vk <= 'Z';
    if (digit || letter) return vk;  // Qt's codes are the characters
    if (vk >= 0x70 && vk <= 0x87) return kQtF1 + (vk - 0x70);  // F1 to F24
    for (const KeyPair& pair : kSpecialKeys)
        if (pair.vk == vk) return pair.qt;
    return 0;
}

}  // namespace

int32_t qtKeyCodeOf(int32_t code, int32_t modifiers) {
    const int32_t key = qtKeyOf(code);
    if (key == 0) return 0;
    int32_t qtModifiers = 0;
    if (modifiers & modifier_bit::Shift) qtModifiers |= kQtShift;
    if (modifiers & modifier_bit::Ctrl) qtModifiers |= kQtCtrl;
    if (modifiers & modifier_bit::Alt) qtModifiers |= kQtAlt;
    if (modifiers & modifier_bit::Super) qtModifiers |= kQtMeta;
    return key | qtModifiers;
}

}  // namespace platform::kde_shortcuts
