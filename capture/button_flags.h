// How a recorded mouse button is stored in MacroEvent::flags: the low word is
// the system's MOUSEEVENTF_* action that playback sends back, the high word
// the side button (1 or 2) for MOUSEEVENTF_XDOWN and MOUSEEVENTF_XUP, sent as
// the record's mouse data. A bare 0x80 from an older file keeps its old
// meaning: a side-button press that names no button.
#pragma once

#include <cstdint>

#include "model/mouse_buttons.h"
#include "model/mouse_flags.h"

// The flags recorded for a press or release of button code 1, 2, 4, 5 or 6;
// 0 for any other code.
constexpr uint32_t recordedButtonFlags(int32_t button, bool down) {
    switch (button) {
    case button_code::Left: return down ? mouse_flags::LeftDown : mouse_flags::LeftUp;
    case button_code::Right: return down ? mouse_flags::RightDown : mouse_flags::RightUp;
    case button_code::Middle: return down ? mouse_flags::MiddleDown : mouse_flags::MiddleUp;
    case button_code::Side1: return (down ? mouse_flags::XDown : mouse_flags::XUp) | (1u << 16);
    case button_code::Side2: return (down ? mouse_flags::XDown : mouse_flags::XUp) | (2u << 16);
    default: return 0;
    }
}

constexpr uint32_t buttonActionOf(uint32_t flags) { return flags & 0xFFFFu; }
constexpr uint32_t sideButtonOf(uint32_t flags) { return flags >> 16; }
