// Pieces of the Windows backend that more than one of its files, or its
// tests, need: the pure builders of SendInput records, the translation of
// hook and raw-input data into InputEvent, and a few shared helpers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "capture/input_event.h"

namespace platform::win32 {

// ---- Synthetic input records ---------------------------------------------------

// Keys that are extended (0xE0-prefixed) keys whatever the layout says.
bool isExtendedKey(uint32_t vk);
// The scan code to send a key known only by its virtual key, from what
// MapVirtualKeyExW(MAPVK_VK_TO_VSC_EX) gave for it (mapped): 0xE0 in the high
// byte for an extended key, 0 where a virtual-key record must do.
uint32_t scanForVirtualKey(uint32_t vk, uint32_t mapped);
// The same for the layout of the foreground window.
uint32_t scanForVirtualKey(uint32_t vk);
// The scan code the keyboard hook saw, in the same form.
uint32_t hookScanCode(const KBDLLHOOKSTRUCT& data);
// The bounding box of every monitor, in the physical pixels a per-monitor
// aware process sees; monitors left of or above the primary have negative
// coordinates.
struct VirtualDesktop {
    int32_t left = 0, top = 0, width = 0, height = 0;
};
VirtualDesktop virtualDesktop();
// One absolute move normalised over the virtual desktop (MOUSEEVENTF_VIRTUALDESK):
// (coordinate − the desktop's left or top) × 65536 ÷ its size, truncated
// towards zero, a point beyond it taken to its edge. On one monitor this is
// the primary screen's normalisation. False when the size is unusable.
bool absoluteMoveRecord(int32_t x, int32_t y, const VirtualDesktop& desktop, INPUT& record);
// One keyboard record: by scan code (plus EXTENDEDKEY for 0xE0 codes, with
// vkHint in wVk, which Windows ignores then), or by virtual key when scan is 0.
INPUT keyRecord(uint32_t vk, uint32_t scan, WORD vkHint, bool down);
INPUT mouseRecord(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags);
// The Unicode records (press, then release) that type one character: a
// character beyond the first plane goes as its two UTF-16 halves. Returns
// how many were filled in, 2 or 4.
int unicodeRecords(char32_t character, INPUT (&records)[4]);

// Synthetic input records the system took, counted for the hooks' watchdog.
extern std::atomic<uint32_t> inputsSent;

// ---- Observed input --------------------------------------------------------------

// scanOfCode is what scanForVirtualKey gives the key's virtual key; the event
// carries the hook's own scan code only where it differs.
InputEvent keyboardEvent(WPARAM message, const KBDLLHOOKSTRUCT& data, uint32_t scanOfCode,
                         int64_t counter);
// False for messages the hook logic does not take (the horizontal wheel and
// anything unknown); those are passed on untouched.
bool mouseEvent(WPARAM message, const MSLLHOOKSTRUCT& data, int64_t counter, InputEvent& event);
// False for raw input that is not from a mouse.
bool rawMotionEvent(const RAWINPUT& input, int64_t counter, InputEvent& event);

// ---- Timing when hidden -------------------------------------------------------

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803), which the MinGW
// headers lack.
constexpr DWORD kHighResolutionTimerFlag = 0x00000002;
// Asks Windows not to slow the process down nor to ignore its timer
// resolution while its windows are hidden or covered (power throttling,
// Windows 10 1709 and 11); false where the system refuses.
bool optOutOfPowerThrottling();

// The hooks the capture thread has in place (nullptr when none), so that a
// test can remove them as the system would.
HHOOK installedKeyboardHook();
HHOOK installedMouseHook();

// ---- Start at logon -------------------------------------------------------------

// The scheduler task of this user: its name, made or replaced (the
// executable's path, logon trigger, highest run level), removed (true also when
// there was none), and the executable it starts read back (false when there
// is no such task or the scheduler does not answer).
std::wstring logonTaskName();
bool registerLogonTask(const std::wstring& executable);
bool removeLogonTask();
bool readLogonTask(std::wstring& executable);

// ---- The web view's user data ------------------------------------------------
// Empty when the folder is, or can be made, a folder this process can write
// in; else why not.
std::string dataFolderProblem(const std::wstring& folder);
// Where the library's WebView2 user data folder (libraryFolder; without an
// argument, the one the library takes) cannot be used and the user set none,
// points WebView2 at a folder in the user's temporary folder, says so on
// standard error and returns that folder; else changes nothing and returns "".
std::wstring useUsableWebViewData(const std::wstring& libraryFolder);
std::wstring useUsableWebViewData();

// ---- Elevated as another account -------------------------------------------------

// The first of the folders that can be made (one level) and written to,
// "" when none can.
std::string firstWritableFolder(const std::string* folders, size_t count);

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
