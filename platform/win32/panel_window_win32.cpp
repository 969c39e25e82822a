// The pop-out panel's window: frameless, found by title, dragged by its
// header with the pointer captured, reporting when it hovers over the main
// window and where it was dropped.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

// A panel process has one window and one thread; the drag state is its own.
struct PanelDrag {
    bool active = false;
    bool overTarget = false;
    POINT startCursor{};
    RECT startRect{};
    HWND target = nullptr;
    void (*onHover)(bool, void*) = nullptr;
    void (*onDrop)(bool, void*) = nullptr;
    void* context = nullptr;
};

PanelDrag drag;
HWND panelWindow = nullptr;
WNDPROC panelPrevProc = nullptr;

bool pointerOverTarget() {
    POINT cursor;
    RECT targetRect;
    return drag.target && GetCursorPos(&cursor) && GetWindowRect(drag.target, &targetRect) &&
           PtInRect(&targetRect, cursor);
}

void followPointer(HWND window) {
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    SetWindowPos(window, nullptr, drag.startRect.left + cursor.x - drag.startCursor.x,
                 drag.startRect.top + cursor.y - drag.startCursor.y, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
    bool over = pointerOverTarget();
    if (over != drag.overTarget) {
        drag.overTarget = over;
        if (drag.onHover) drag.onHover(over, drag.context);
    }
}

// Ends the drag; only a button release can drop the panel onto the target.
void endDrag(bool released) {
    drag.active = false;
    ReleaseCapture();
    bool dropped = released && drag.overTarget;
    if (drag.overTarget) {
        drag.overTarget = false;
        if (drag.onHover) drag.onHover(false, drag.context);
    }
    if (drag.onDrop) drag.onDrop(dropped, drag.context);
}

LRESULT CALLBACK ChildFramelessWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (drag.active) {
        try {
            switch (message) {
            case WM_MOUSEMOVE: followPointer(window); return 0;
            case WM_LBUTTONUP: endDrag(true); return 0;
            case WM_CAPTURECHANGED: endDrag(false); break;
            default: break;
            }
        } catch (...) {
            drag.active = false;
        }
    }
    return CallWindowProcA(panelPrevProc, window, message, wParam, lParam);
}

void installDragProc(HWND window) {
    if (panelWindow == window && panelPrevProc) return;
    WNDPROC previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChildFramelessWndProc)));
    if (!previous) return;
    panelWindow = window;
    panelPrevProc = previous;
}

}  // namespace

void makeWindowFrameless(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd) return;
    LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    style &= ~LONG_PTR(WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    style |= LONG_PTR(WS_POPUP | WS_BORDER);
    SetWindowLongPtrA(hwnd, GWL_STYLE, style);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    installDragProc(hwnd);
}

bool findWindowRectByTitle(const std::string& title, ScreenRect& rect) {
    HWND window = FindWindowA(nullptr, title.c_str());
    RECT r;
    if (!window || !GetWindowRect(window, &r)) return false;
    rect = ScreenRect{r.left, r.top, r.right, r.bottom};
    return true;
}

bool setAlwaysOnTopByTitle(const std::string& title, bool on) {
    HWND window = FindWindowA(nullptr, title.c_str());
    if (!window) return false;
    setAlwaysOnTop(window, on);
    return true;
}

bool raiseWindowByTitle(const std::string& title) {
    HWND window = FindWindowA(nullptr, title.c_str());
    if (!window) return false;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    win32::forceForegroundWindow(window);
    return true;
}

void beginPanelDrag(void* window, const std::string& hoverTargetTitle,
                    void (*onHover)(bool over, void* context),
                    void (*onDrop)(bool overTarget, void* context), void* context) {
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd || drag.active) return;
    installDragProc(hwnd);
    if (panelWindow != hwnd) return;
    if (!GetCursorPos(&drag.startCursor) || !GetWindowRect(hwnd, &drag.startRect)) return;
    drag.target = FindWindowA(nullptr, hoverTargetTitle.c_str());
    drag.onHover = onHover;
    drag.onDrop = onDrop;
    drag.context = context;
    drag.overTarget = false;
    drag.active = true;
    SetCapture(hwnd);
}

}  // namespace platform
