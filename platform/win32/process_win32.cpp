// Process set-up on Windows: COM for the web view, DPI awareness, the timer
// resolution, the crash save and the session-end path into the UI loop.
#include <windows.h>
#include <objbase.h>

#include <atomic>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

HRESULT comInitResult = E_FAIL;

// The crash save runs on a thread kept ready for it, not on the crashed one:
// that thread may hold the heap's lock or have no stack left. The crashed
// thread waits for the save five seconds at most, so a save that cannot
// finish never keeps the crash from ending the process.
void (*crashSave)() = nullptr;
std::atomic<bool> crashSaveTried{false};
HANDLE crashSaveRequested = nullptr;
HANDLE crashSaveDone = nullptr;

DWORD WINAPI crashSaverThread(void*) {
    WaitForSingleObject(crashSaveRequested, INFINITE);
    try {
        if (crashSave) crashSave();
    } catch (...) {
    }
    SetEvent(crashSaveDone);
    return 0;
}

LONG WINAPI saveOnCrash(EXCEPTION_POINTERS*) {
    if (crashSaveDone && !crashSaveTried.exchange(true)) {
        SetEvent(crashSaveRequested);
        WaitForSingleObject(crashSaveDone, 5000);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Session end reaches a hidden top-level window of the UI thread (message-only
// windows get no WM_ENDSESSION); a console's close or Ctrl+C is posted to the
// same window, so the callback always runs on the UI thread.
const char kSessionWatchClass[] = "VarnetSessionWatch";
const UINT kTerminateMessage = WM_APP + 17;
HWND sessionWatchWindow = nullptr;
void (*terminationCallback)(void*) = nullptr;
void* terminationContext = nullptr;

void deliverTermination() {
    try {
        if (terminationCallback) terminationCallback(terminationContext);
    } catch (...) {
    }
}

LRESULT CALLBACK SessionWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wParam) deliverTermination();
        return 0;
    case kTerminateMessage: deliverTermination(); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        if (sessionWatchWindow) PostMessageA(sessionWatchWindow, kTerminateMessage, 0, 0);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

namespace win32 {

bool postTerminationRequest(DWORD processId) {
    bool posted = false;
    for (HWND window = FindWindowExA(nullptr, nullptr, kSessionWatchClass, nullptr); window;
         window = FindWindowExA(nullptr, window, kSessionWatchClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && PostMessageA(window, kTerminateMessage, 0, 0)) posted = true;
    }
    return posted;
}

// A bit in the control mask with its bit clear in the state mask switches
// that throttling off for the process.
bool optOutOfPowerThrottling() {
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask =
        PROCESS_POWER_THROTTLING_EXECUTION_SPEED | PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    return SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state) != 0;
}

}  // namespace win32

void prepareProcess() {
    comInitResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Per-monitor aware: points are physical pixels on every monitor, as the
    // hooks report them and absolute moves take them. Older systems (and
    // Wine) refuse the context; they get system-wide awareness.
    if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) SetProcessDPIAware();
    win32::optOutOfPowerThrottling();
}

void finishProcess() {
    if (SUCCEEDED(comInitResult) || comInitResult == RPC_E_CHANGED_MODE) CoUninitialize();
}

void onTerminationRequest(void (*onSignal)(void* context), void* context) {
    terminationCallback = onSignal;
    terminationContext = context;
    if (sessionWatchWindow) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SessionWatchProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSessionWatchClass;
    RegisterClassA(&windowClass);
    sessionWatchWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kSessionWatchClass, "", WS_POPUP, 0, 0,
                                         0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void installCrashHandler(void (*save)()) {
    crashSave = save;
    if (!crashSaveDone) {
        crashSaveRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE saver = crashSaveRequested && done
                           ? CreateThread(nullptr, 0, crashSaverThread, nullptr, 0, nullptr)
                           : nullptr;
        if (!saver) return;  // no crash save rather than one that could hang
        CloseHandle(saver);
        crashSaveDone = done;
    }
    SetUnhandledExceptionFilter(saveOnCrash);
}

}  // namespace platform
