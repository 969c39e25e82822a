// Synthetic input through SendInput, one record per call, and key names.
// Everything on the send path is free of allocation: the engines call it
// inside their timing loops.
#include <windows.h>

#include <algorithm>

#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

bool isExtendedKey(uint32_t vk) {
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
}

DWORD keyEventFlags(uint32_t vk, bool down) {
    DWORD flags = KEYEVENTF_SCANCODE;
    if (!down) flags |= KEYEVENTF_KEYUP;
    if (isExtendedKey(vk)) flags |= KEYEVENTF_EXTENDEDKEY;
    return flags;
}

VirtualDesktop virtualDesktop() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Wide arithmetic: a point far right of a large desktop must not overflow
// before the division.
bool absoluteMoveRecord(int32_t x, int32_t y, const VirtualDesktop& desktop, INPUT& record) {
    if (desktop.width <= 0 || desktop.height <= 0) return false;
    const int64_t inX = std::clamp<int64_t>(int64_t(x) - desktop.left, 0, desktop.width - 1);
    const int64_t inY = std::clamp<int64_t>(int64_t(y) - desktop.top, 0, desktop.height - 1);
    record = mouseRecord(int32_t(inX * 65536 / desktop.width), int32_t(inY * 65536 / desktop.height), 0,
                         MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK);
    return true;
}

INPUT keyRecord(uint32_t vk, WORD scan, WORD vkHint, bool down) {
    INPUT record{};
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = vkHint;
    record.ki.wScan = scan;
    record.ki.dwFlags = keyEventFlags(vk, down);
    return record;
}

INPUT mouseRecord(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    INPUT record{};
    record.type = INPUT_MOUSE;
    record.mi.dx = dx;
    record.mi.dy = dy;
    record.mi.mouseData = mouseData;
    record.mi.dwFlags = flags;
    return record;
}

}  // namespace win32

void moveCursorAbsolute(int32_t x, int32_t y) {
    INPUT record;
    if (win32::absoluteMoveRecord(x, y, win32::virtualDesktop(), record))
        SendInput(1, &record, sizeof(INPUT));
}

uint32_t sendKeyEvent(uint32_t vk, bool down) {
    WORD scan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    // Windows identifies the key by its scan code alone; the virtual-key hint
    // only helps systems that would otherwise deliver vk 0 to windows.
    UINT extendedScan = scan | (win32::isExtendedKey(vk) ? 0xE000u : 0u);
    WORD hint = scan ? WORD(MapVirtualKeyW(extendedScan, MAPVK_VSC_TO_VK_EX)) : 0;
    INPUT record = win32::keyRecord(vk, scan, hint, down);
    return SendInput(1, &record, sizeof(INPUT));
}

void sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    INPUT record = win32::mouseRecord(dx, dy, mouseData, flags);
    SendInput(1, &record, sizeof(INPUT));
}

std::string keyDisplayName(int32_t code) {
    if (code == 0xC0) return "`";
    LONG lParam = LONG(MapVirtualKeyW(UINT(code), MAPVK_VK_TO_VSC) << 16);
    if (win32::isExtendedKey(uint32_t(code))) lParam |= 1 << 24;
    wchar_t buffer[128];
    int length = GetKeyNameTextW(lParam, buffer, 128);
    if (length > 0) return win32::narrow(std::wstring(buffer, size_t(length)));
    return "Key[" + std::to_string(code) + "]";
}

// By the layout of the window in front, which the keys are sent to; flag 4
// keeps a dead key from changing the keyboard's state.
std::string keyTypedText(int32_t code, int32_t modifiers) {
    constexpr int32_t kNoText = modifier_bit::Ctrl | modifier_bit::Alt | modifier_bit::Super;
    if (code <= 0 || code > 255 || (modifiers & kNoText)) return "";
    BYTE state[256] = {};
    if (modifiers & modifier_bit::Shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (modifiers & modifier_bit::AltGr) state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x80;
    const HKL layout = GetKeyboardLayout(GetWindowThreadProcessId(GetForegroundWindow(), nullptr));
    wchar_t text[8] = {};
    const int length = ToUnicodeEx(UINT(code), MapVirtualKeyExW(UINT(code), MAPVK_VK_TO_VSC, layout), state, text, 8,
                                   4, layout);
    if (length <= 0 || text[0] <= L' ') return "";
    return win32::narrow(std::wstring(text, size_t(length)));
}

bool cursorPosition(int32_t& x, int32_t& y) {
    POINT point;
    if (!GetCursorPos(&point)) return false;
    x = point.x;
    y = point.y;
    return true;
}

}  // namespace platform
