// How a recorded mouse button is stored in MacroEvent::flags: the low word is
// the system's MOUSEEVENTF_* action that playback sends back, the high word
// the side button (1 or 2) for MOUSEEVENTF_XDOWN and MOUSEEVENTF_XUP, sent as
// the record's mouse data. A bare 0x80 from an older file keeps its old
// meaning: a side-button press that names no button.
#pragma once

#include <cstdint>

constexpr uint32_t kMouseLeftDown = 0x0002, kMouseLeftUp = 0x0004;
constexpr uint32_t kMouseRightDown = 0x0008, kMouseRightUp = 0x0010;
constexpr uint32_t kMouseMiddleDown = 0x0020, kMouseMiddleUp = 0x0040;
constexpr uint32_t kMouseSideDown = 0x0080, kMouseSideUp = 0x0100;
constexpr uint32_t kMouseMove = 0x0001, kMouseWheel = 0x0800;

// The flags recorded for a press or release of button code 1, 2, 4, 5 or 6;
// 0 for any other code.
constexpr uint32_t recordedButtonFlags(int32_t button, bool down) {
    switch (button) {
    case 1: return down ? kMouseLeftDown : kMouseLeftUp;
    case 2: return down ? kMouseRightDown : kMouseRightUp;
    case 4: return down ? kMouseMiddleDown : kMouseMiddleUp;
    case 5: return (down ? kMouseSideDown : kMouseSideUp) | (1u << 16);
    case 6: return (down ? kMouseSideDown : kMouseSideUp) | (2u << 16);
    default: return 0;
    }
}

constexpr uint32_t buttonActionOf(uint32_t flags) { return flags & 0xFFFFu; }
constexpr uint32_t sideButtonOf(uint32_t flags) { return flags >> 16; }
