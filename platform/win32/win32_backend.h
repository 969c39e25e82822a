// Pieces of the Windows backend that more than one of its files, or its
// tests, need: the pure builders of SendInput records, the translation of
// hook and raw-input data into InputEvent, and a few shared helpers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "capture/input_event.h"

namespace platform::win32 {

// ---- Synthetic input records ---------------------------------------------------

// The ten navigation keys sent and named as extended keys; no others.
bool isExtendedKey(uint32_t vk);
// KEYEVENTF_SCANCODE, plus KEYUP for a release and EXTENDEDKEY for the set above.
DWORD keyEventFlags(uint32_t vk, bool down);
// One absolute move normalised to the primary screen: coordinate × 65536 ÷
// screen size, truncated towards zero. False when the screen size is unusable.
bool absoluteMoveRecord(int32_t x, int32_t y, int32_t screenWidth, int32_t screenHeight,
                        INPUT& record);
// One scan-code keyboard record. wVk carries a hint that Windows ignores when
// KEYEVENTF_SCANCODE is set but that other implementations need.
INPUT keyRecord(uint32_t vk, WORD scan, WORD vkHint, bool down);
INPUT mouseRecord(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags);

// ---- Observed input --------------------------------------------------------------

InputEvent keyboardEvent(WPARAM message, const KBDLLHOOKSTRUCT& data, int64_t counter);
// False for messages the hook logic does not take (the horizontal wheel and
// anything unknown); those are passed on untouched.
bool mouseEvent(WPARAM message, const MSLLHOOKSTRUCT& data, int64_t counter, InputEvent& event);
// False for raw input that is not from a mouse.
bool rawMotionEvent(const RAWINPUT& input, int64_t counter, InputEvent& event);

// ---- Shared helpers ----------------------------------------------------------------

// UTF-8 inside the program, UTF-16 at the system's wide-character calls.
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& wide);
// The system's text for an error code, in UTF-8.
std::string errorText(DWORD code);
// The running executable's path (GetModuleFileNameW), "" on failure.
std::wstring modulePathW();
std::string modulePath();
std::string folderOf(const std::string& path);
void forceForegroundWindow(HWND window);
// Posts the termination request (onTerminationRequest) to every window of
// the process that listens for it; false when it has none.
bool postTerminationRequest(DWORD processId);
// The command pipe's name, this user's and this logon session's own:
// "\\.\pipe\VarnetIPC-<SID>-<session id>".
std::string commandPipeName();

}  // namespace platform::win32
