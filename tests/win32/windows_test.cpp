// Window helpers, the panel window and panel processes, on real windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(const char* title) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = plainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetTestWindow";
        RegisterClassA(&windowClass);
        registered = true;
    }
    HWND window = CreateWindowExA(0, "VarnetTestWindow", title, WS_OVERLAPPEDWINDOW, 100, 100, 420,
                                  560, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int settledCalls = 0, destroyedCalls = 0;
void onSettled(void*) { ++settledCalls; }
void onDestroyed(void*) { ++destroyedCalls; }

}  // namespace

TEST(WindowHelpers, PlaceFindAndReadBackAWindow) {
    HWND window = makeWindow("Varnet Test (place)");
    ASSERT_NE(window, nullptr);
    platform::placeWindow(window, 50, 60, 500, 400);
    platform::ScreenRect rect;
    ASSERT_TRUE(platform::windowFrameRect(window, rect));
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 60);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 400);

    platform::moveWindowTo(window, 70, 80);
    platform::ScreenRect found;
    ASSERT_TRUE(platform::findWindowRectByTitle("Varnet Test (place)", found));
    EXPECT_EQ(found.left, 70);
    EXPECT_EQ(found.bottom - found.top, 400);
    EXPECT_FALSE(platform::findWindowRectByTitle("Varnet Test (plac", found));

    bool maximized = true;
    ASSERT_TRUE(platform::windowNormalPlacement(window, rect, maximized));
    EXPECT_FALSE(maximized);
    EXPECT_EQ(rect.left, 70);

    platform::setAlwaysOnTop(window, true);
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    platform::setAlwaysOnTop(window, false);
    EXPECT_FALSE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    platform::showMaximized(window);
    EXPECT_TRUE(IsZoomed(window));
    ASSERT_TRUE(platform::windowNormalPlacement(window, rect, maximized));
    EXPECT_TRUE(maximized);
    EXPECT_EQ(rect.left, 70);  // the normal rectangle survives maximizing
    platform::restoreIfMaximized(window);
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_TRUE(platform::raiseWindowByTitle("Varnet Test (place)"));
    EXPECT_FALSE(platform::raiseWindowByTitle("no such window title"));
    DestroyWindow(window);
}

TEST(WindowHelpers, WorkAreasOfMonitors) {
    platform::ScreenRect primary = platform::monitorWorkArea(nullptr);
    EXPECT_GT(primary.right - primary.left, 0);
    EXPECT_GT(primary.bottom - primary.top, 0);
    platform::ScreenRect area;
    ASSERT_TRUE(platform::monitorWorkAreaAt(primary.left + 10, primary.top + 10, area));
    EXPECT_EQ(area.left, primary.left);
    EXPECT_EQ(area.right, primary.right);
    EXPECT_FALSE(platform::monitorWorkAreaAt(-100000, -100000, area));
}

TEST(WindowHelpers, PlacementWatchReportsSettledMovesAndTheEnd) {
    HWND window = makeWindow("Varnet Test (watch)");
    platform::watchWindowPlacement(window, onSettled, onDestroyed);
    SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(settledCalls, 1);
    EXPECT_EQ(destroyedCalls, 0);
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Varnet Test (renamed)"));
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Varnet Test (renamed)");  // other messages still reach the window
    DestroyWindow(window);
    EXPECT_EQ(destroyedCalls, 1);
}

TEST(PanelWindow, FramelessStyleKeepsOnlyAThinBorder) {
    HWND window = makeWindow("Varnet (Test Panel)");
    platform::makeWindowFrameless(window);
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_FALSE(style & WS_DLGFRAME);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(IsWindowVisible(window));
    pumpMessages();
    DestroyWindow(window);
}

// Started by the panel-process tests as a child: it ends with the exit code
// it is given, or listens for a request to end, or waits to be ended.
TEST(PanelProcess, ChildStandIn) {
    if (const char* code = getenv("VARNET_TEST_CHILD_EXIT_CODE")) ExitProcess(UINT(atoi(code)));
    if (getenv("VARNET_TEST_CHILD_LISTENS")) {
        platform::onTerminationRequest([](void*) { PostQuitMessage(0); }, nullptr);
        SetTimer(nullptr, 0, 30000, nullptr);  // nobody asked: give up
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
            DispatchMessageA(&message);
    }
    if (getenv("VARNET_TEST_CHILD_WAITS")) Sleep(30000);
}

namespace {

ChildProcess* spawnStandIn(const char* variable, const char* value) {
    SetEnvironmentVariableA(variable, value);
    ChildProcess* child = platform::spawnPanelProcess("--gtest_filter=PanelProcess.ChildStandIn");
    SetEnvironmentVariableA(variable, nullptr);
    return child;
}

}  // namespace

TEST(PanelProcess, SpawnWatchAndKill) {
    // The child is this test program, running only the stand-in above.
    ChildProcess* child = spawnStandIn("VARNET_TEST_CHILD_WAITS", "1");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(platform::childProcessState(child), platform::ProcessState::Running);
    EXPECT_FALSE(platform::askChildToEnd(child));  // it does not listen
    platform::killChildProcess(child);
    platform::ProcessState state = platform::ProcessState::Running;
    for (int i = 0; i < 500 && state == platform::ProcessState::Running; ++i) {
        Sleep(5);
        state = platform::childProcessState(child);
    }
    EXPECT_EQ(state, platform::ProcessState::Ended);
    platform::releaseChildProcess(child);
}

// 259 is also what the system reports as the exit code of a process that
// still runs, so it must not make an ended child look alive.
TEST(PanelProcess, AChildThatEndsByItselfIsSeenEndedWhateverItsExitCode) {
    for (const char* code : {"0", "259"}) {
        ChildProcess* child = spawnStandIn("VARNET_TEST_CHILD_EXIT_CODE", code);
        ASSERT_NE(child, nullptr);
        platform::ProcessState state = platform::ProcessState::Running;
        for (int i = 0; i < 2000 && state == platform::ProcessState::Running; ++i) {
            Sleep(5);
            state = platform::childProcessState(child);
        }
        EXPECT_EQ(state, platform::ProcessState::Ended) << "exit code " << code;
        platform::releaseChildProcess(child);
    }
}

TEST(PanelProcess, AChildAskedToEndEndsByItself) {
    ChildProcess* child = spawnStandIn("VARNET_TEST_CHILD_LISTENS", "1");
    ASSERT_NE(child, nullptr);
    bool asked = platform::askChildToEnd(child);
    for (int i = 0; i < 2000 && !asked; ++i) {  // until it has set up its listening
        Sleep(5);
        asked = platform::askChildToEnd(child);
    }
    EXPECT_TRUE(asked);
    // Well before the stand-in would give up by itself.
    EXPECT_TRUE(platform::waitForChildEnd(child, 10000));
    if (!asked) platform::killChildProcess(child);
    platform::releaseChildProcess(child);
}
