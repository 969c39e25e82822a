// The mouse-record flags of sendMouseInput. They are the values the Windows
// input service uses, so recorded events and session files mean the same on
// every system; other backends translate them.
#pragma once

#include <cstdint>

namespace mouse_flags {
constexpr uint32_t Move = 0x0001;
constexpr uint32_t LeftDown = 0x0002;
constexpr uint32_t LeftUp = 0x0004;
constexpr uint32_t RightDown = 0x0008;
constexpr uint32_t RightUp = 0x0010;
constexpr uint32_t MiddleDown = 0x0020;
constexpr uint32_t MiddleUp = 0x0040;
constexpr uint32_t XDown = 0x0080;
constexpr uint32_t XUp = 0x0100;
constexpr uint32_t Wheel = 0x0800;
constexpr uint32_t HWheel = 0x1000;
constexpr uint32_t AbsolutePosition = 0x8000;
}  // namespace mouse_flags
