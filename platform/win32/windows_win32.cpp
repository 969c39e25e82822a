// Window helpers on the UI thread: monitor work areas, placement, Z order,
// show state, foreground switching, and the main window's subclass that
// reports finished moves and resizes.
#include <windows.h>
#include <shobjidl.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

HWND asWindow(void* window) { return static_cast<HWND>(window); }

ScreenRect fromRect(const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }

bool workAreaOf(HMONITOR monitor, ScreenRect& area) {
    if (!monitor) return false;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return false;
    area = fromRect(info.rcWork);
    return true;
}

// The main window's subclass: one main window per process.
WNDPROC mainWindowPrevProc = nullptr;
void (*placementSettled)(void*) = nullptr;
void (*windowDestroyed)(void*) = nullptr;

LRESULT CALLBACK MainWindowSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_EXITSIZEMOVE && placementSettled) placementSettled(window);
        if (message == WM_DESTROY && windowDestroyed) windowDestroyed(window);
    } catch (...) {
        // A failed save must not take the window's own handling with it.
    }
    return CallWindowProcA(mainWindowPrevProc, window, message, wParam, lParam);
}

}  // namespace

namespace win32 {

void forceForegroundWindow(HWND window) {
    if (!window) return;
    HWND foreground = GetForegroundWindow();
    if (!foreground) {
        BringWindowToTop(window);
        SetForegroundWindow(window);
        SetFocus(window);
        return;
    }
    DWORD other = GetWindowThreadProcessId(foreground, nullptr);
    DWORD own = GetCurrentThreadId();
    // Attaching to a hung program's thread would hang this one with it.
    bool attached = other != 0 && other != own && !IsHungAppWindow(foreground) &&
                    AttachThreadInput(own, other, TRUE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (attached) AttachThreadInput(own, other, FALSE);
}

}  // namespace win32

ScreenRect monitorWorkArea(void* window) {
    HMONITOR monitor = window ? MonitorFromWindow(asWindow(window), MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    ScreenRect area;
    if (workAreaOf(monitor, area)) return area;
    return ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool monitorWorkAreaAt(int32_t x, int32_t y, ScreenRect& area) {
    return workAreaOf(MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONULL), area);
}

bool windowFrameRect(void* window, ScreenRect& rect) {
    RECT r;
    if (!window || !GetWindowRect(asWindow(window), &r)) return false;
    rect = fromRect(r);
    return true;
}

void moveWindowTo(void* window, int32_t x, int32_t y) {
    if (window) SetWindowPos(asWindow(window), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void placeWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (window) SetWindowPos(asWindow(window), nullptr, x, y, width, height, SWP_NOZORDER);
}

void setAlwaysOnTop(void* window, bool on) {
    if (window)
        SetWindowPos(asWindow(window), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE);
}

// An overlay on the taskbar button: the system's own "running" sign, so no
// icon of ours has to ship. COM is up on the UI thread for the web view.
void showRunningInTaskbar(void* window, bool running) {
    ITaskbarList3* taskbar = nullptr;
    if (!window || FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                           reinterpret_cast<void**>(&taskbar))))
        return;
    if (SUCCEEDED(taskbar->HrInit()))
        taskbar->SetOverlayIcon(asWindow(window), running ? LoadIconW(nullptr, MAKEINTRESOURCEW(32516)) : nullptr,  // IDI_INFORMATION
                                running ? L"Running" : L"");
    taskbar->Release();
}

void forceForeground(void* window) { win32::forceForegroundWindow(asWindow(window)); }

void showMaximized(void* window) {
    if (window) ShowWindow(asWindow(window), SW_SHOWMAXIMIZED);
}

void restoreIfMinimized(void* window) {
    if (window && IsIconic(asWindow(window))) ShowWindow(asWindow(window), SW_RESTORE);
}

void showMinimized(void* window) {
    if (window) ShowWindow(asWindow(window), SW_MINIMIZE);
}

void restoreIfMaximized(void* window) {
    if (window && IsZoomed(asWindow(window))) ShowWindow(asWindow(window), SW_RESTORE);
}

bool windowNormalPlacement(void* window, ScreenRect& rect, bool& maximized) {
    static_assert(sizeof(WINDOWPLACEMENT) == 44);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!window || !GetWindowPlacement(asWindow(window), &placement)) return false;
    rect = fromRect(placement.rcNormalPosition);
    // The placement is in workspace coordinates, which start at the work
    // area's corner: with a taskbar at the top or left, taken as screen
    // coordinates it would creep the window across the screen start by start.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(asWindow(window), MONITOR_DEFAULTTONEAREST), &info)) {
        int32_t dx = info.rcWork.left - info.rcMonitor.left;
        int32_t dy = info.rcWork.top - info.rcMonitor.top;
        rect = ScreenRect{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
    }
    maximized = placement.showCmd == SW_SHOWMAXIMIZED;
    return true;
}

void watchWindowPlacement(void* window, void (*onPlacementSettled)(void* window),
                          void (*onDestroyed)(void* window)) {
    if (!window || mainWindowPrevProc) return;
    placementSettled = onPlacementSettled;
    windowDestroyed = onDestroyed;
    mainWindowPrevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        asWindow(window), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowSubclassProc)));
}

// Windows desktops have no other display server to tell apart.
bool isWaylandSession() { return false; }
bool inputGoesThroughCompositor() { return false; }
InputPermission inputPermission() { return InputPermission::NotAsked; }
bool isGnomeDesktop() { return false; }

}  // namespace platform
