// The real varnet.exe runs its whole main process under Wine, with the
// stand-in web view library beside it (tests/standin) in place of the one
// that needs WebView2. The test plays the page through the stand-in's channel
// and the person through xdotool, whose input Wine reports as not injected.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/panel_process.h"
#include "bridge/call_table.h"
#include "platform/platform.h"
#include "tests/win32/person_input.h"

namespace {

namespace fs = std::filesystem;

const char kMainTitle[] = "Varnet (Kestrine Edition)";
const char kTargetTitle[] = "Varnet Click Target";
std::atomic<int> clicksSeen{0};

LRESULT CALLBACK targetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++clicksSeen;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Handles this thread's window messages while it waits.
void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

template <typename Done>
bool pumpUntil(Done done, int timeoutMs = 20000) {
    for (ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; Sleep(10)) {
        pump();
        if (done()) return true;
    }
    return done();
}

const char kNoAnswer[] = "(no answer)";

// One request to the stand-in of process pid; kNoAnswer until its channel is up.
std::string ask(DWORD pid, const std::string& request) {
    std::string name = "\\\\.\\pipe\\varnet-standin-" + std::to_string(pid);
    std::vector<char> reply(1 << 16);
    DWORD read = 0;
    if (!CallNamedPipeA(name.c_str(), const_cast<char*>(request.data()), DWORD(request.size()),
                        reply.data(), DWORD(reply.size()), &read, 10000))
        return kNoAnswer;
    return std::string(reply.data(), read);
}

// A page call through the channel; its result, or what went wrong.
std::string call(DWORD pid, const std::string& name, const std::string& arguments = "[]") {
    std::string reply = ask(pid, "call\n" + name + "\n" + arguments);
    return reply.rfind("0\n", 0) == 0 ? reply.substr(2) : "failed: " + reply;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string tableNames(const PageCall* calls, size_t count) {
    std::string names;
    for (size_t i = 0; i < count; ++i) names += (i ? "\n" : "") + std::string(calls[i].name);
    return names;
}

// The page is handed over after every binding is made.
bool pageLoaded(DWORD pid) {
    std::string length = ask(pid, "html");
    return length != kNoAnswer && length != "0";
}

DWORD processOfWindow(const char* title) {
    HWND window = FindWindowA(nullptr, title);
    DWORD pid = 0;
    if (window) GetWindowThreadProcessId(window, &pid);
    return pid;
}

class MainProcess : public ::testing::Test {
protected:
    fs::path folder = fs::path(platform::executableDir()).parent_path() / "standin";
    fs::path appData;
    HWND target = nullptr;
    PROCESS_INFORMATION process{};

    void SetUp() override {
        appData = fs::temp_directory_path() / ("varnet-e2e-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(appData);
        SetEnvironmentVariableA("LOCALAPPDATA", appData.string().c_str());
        for (const char* side : {"appsettings.txt", "theme.txt", "status.txt", "macroevents.txt"})
            fs::remove(folder / side);
        createTarget();
    }

    void TearDown() override {
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 99);
            closeProcess();
        }
        DestroyWindow(target);
        SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
        std::error_code ignored;
        fs::remove_all(appData, ignored);
    }

    // A window of this test under the pointer, above the program's windows,
    // that counts the clicks reaching it.
    void createTarget() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = targetWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetClickTarget";
        RegisterClassA(&windowClass);
        target = CreateWindowExA(WS_EX_TOPMOST, "VarnetClickTarget", kTargetTitle,
                                 WS_POPUP | WS_VISIBLE, 200, 200, 400, 300, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
        clicksSeen = 0;
    }

    DWORD startProgram() {
        std::string program = (folder / "varnet.exe").string();
        std::string commandLine = "\"" + program + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process));
        return process.dwProcessId;
    }

    // Closes the main window as a person would and returns the exit code.
    DWORD closeProgram() {
        PostMessageA(FindWindowA(nullptr, kMainTitle), WM_CLOSE, 0, 0);
        EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == 0; }));
        DWORD code = 12345;
        GetExitCodeProcess(process.hProcess, &code);
        closeProcess();
        return code;
    }

    void closeProcess() {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        process = PROCESS_INFORMATION{};
    }
};

}  // namespace

TEST_F(MainProcess, PageCallsPersonsInputPanelAndSessionAcrossARestart) {
    DWORD pid = startProgram();

    // Start-up: every binding in table order and the held status poll, then
    // the page from beside the exe.
    size_t count = 0;
    const PageCall* calls = mainPageCalls(count);
    ASSERT_TRUE(pumpUntil([&] { return pageLoaded(pid); }));
    EXPECT_EQ(ask(pid, "bindings"), tableNames(calls, count) + "\nwaitForStatus");
    EXPECT_EQ(ask(pid, "html"), std::to_string(fs::file_size(folder / "ui" / "index.html")));

    // The page sets five clicks 20 ms apart at the pointer and starts them.
    xdotool("mousemove 400 350");
    ASSERT_TRUE(pumpUntil([] {
        POINT p{};
        return GetCursorPos(&p) && p.x == 400 && p.y == 350;
    }));
    EXPECT_EQ(call(pid, "updateSpammer", "[0,0,0,20,0,0,0,5,0]"), "");
    EXPECT_EQ(call(pid, "toggleSpammer"), "");
    EXPECT_TRUE(pumpUntil([&] {
        return clicksSeen == 5 && contains(call(pid, "getTrackerStatus"), "\"autoClicking\":false");
    })) << clicksSeen;

    // The person presses F8, types a, presses F8: a recorded key stroke.
    xdotool(std::string("search --name \"^") + kTargetTitle + "$\" windowfocus");
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == target; }));
    xdotool("key F8");
    ASSERT_TRUE(pumpUntil([&] {
        return contains(call(pid, "getTrackerStatus"), "\"state\":\"Recording\"");
    }));
    xdotool("key a");
    ASSERT_TRUE(pumpUntil([&] {
        return contains(call(pid, "getMacroEvents"), "Keyboard VK: 65 (UP)");
    }));
    xdotool("key F8");
    ASSERT_TRUE(pumpUntil([&] {
        return contains(call(pid, "getTrackerStatus"), "\"state\":\"Idle\"");
    }));
    const std::string recorded = call(pid, "getMacroEvents");

    // A pop-out panel process starts; its start-spammer goes through the pipe.
    EXPECT_EQ(call(pid, "popOutPanel", "[\"Auto Clicker|clicker-panel|700|100\"]"), "");
    DWORD panelPid = 0;
    ASSERT_TRUE(pumpUntil([&] { return (panelPid = processOfWindow("Varnet (Auto Clicker)")) != 0; }));
    ASSERT_TRUE(pumpUntil([&] { return pageLoaded(panelPid); }));
    size_t panelCount = 0;
    const PageCall* panelCalls = panelPageCalls(panelCount);
    EXPECT_EQ(ask(panelPid, "bindings"), tableNames(panelCalls, panelCount));
    EXPECT_EQ(call(panelPid, "toggleSpammer"), "");
    EXPECT_TRUE(pumpUntil([] { return clicksSeen == 10; })) << clicksSeen;

    // The program never pushes script into its page.
    EXPECT_EQ(ask(pid, "evals"), "");

    // Closing the window ends the program and its panel, and saves.
    HANDLE panel = OpenProcess(SYNCHRONIZE, FALSE, panelPid);
    EXPECT_EQ(closeProgram(), 0u);
    EXPECT_EQ(WaitForSingleObject(panel, 10000), WAIT_OBJECT_0);
    CloseHandle(panel);

    // Started again, it has the session back.
    pid = startProgram();
    ASSERT_TRUE(pumpUntil([&] { return pageLoaded(pid); }));
    EXPECT_EQ(call(pid, "getMacroEvents"), recorded);
    EXPECT_TRUE(contains(call(pid, "getSettings"), "\"sms\":20,\"sbtn\":0,\"stype\":0,\"rptMode\":0,"
                                                   "\"rptTimes\":5,"));
    EXPECT_EQ(closeProgram(), 0u);
}
