// Process-level paths: the crash save and the session-end request.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace {

std::string crashMarkerPath() {
    const char* path = getenv("VARNET_TEST_CRASH_MARKER");
    return path ? path : "";
}

void appendCrashMarker() {
    std::ofstream(crashMarkerPath(), std::ios::app) << "saved\n";
    if (getenv("VARNET_TEST_CRASH_SAVE_HANGS")) Sleep(INFINITE);
}

int terminationCalls = 0;
void* terminationContextSeen = nullptr;
void onTermination(void* context) {
    ++terminationCalls;
    terminationContextSeen = context;
}

DWORD runChild(const std::string& arguments) {
    std::string program = platform::executablePath();
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace

// Started by the crash test as a child that crashes on purpose.
TEST(CrashSave, ChildStandIn) {
    if (crashMarkerPath().empty()) return;
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    platform::installCrashHandler(appendCrashMarker);
    *static_cast<volatile int*>(nullptr) = 1;
}

TEST(CrashSave, SavesOnceAndLetsTheCrashProceed) {
    std::string marker = (std::filesystem::temp_directory_path() /
                          ("varnet-crash-" + std::to_string(GetCurrentProcessId()) + ".txt"))
                             .string();
    std::filesystem::remove(marker);
    SetEnvironmentVariableA("VARNET_TEST_CRASH_MARKER", marker.c_str());
    DWORD code = runChild("--gtest_filter=CrashSave.ChildStandIn --gtest_catch_exceptions=0");
    SetEnvironmentVariableA("VARNET_TEST_CRASH_MARKER", nullptr);
    EXPECT_EQ(code, DWORD(EXCEPTION_ACCESS_VIOLATION));
    std::ifstream in(marker);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "saved\n");
    in.close();
    std::filesystem::remove(marker);
}

TEST(CrashSave, ASaveThatNeverEndsDoesNotHoldTheCrashUp) {
    std::string marker = (std::filesystem::temp_directory_path() /
                          ("varnet-hang-" + std::to_string(GetCurrentProcessId()) + ".txt"))
                             .string();
    std::filesystem::remove(marker);
    SetEnvironmentVariableA("VARNET_TEST_CRASH_MARKER", marker.c_str());
    SetEnvironmentVariableA("VARNET_TEST_CRASH_SAVE_HANGS", "1");
    // A child still running after 30 s would come back as 0xFFFFFFFE.
    DWORD code = runChild("--gtest_filter=CrashSave.ChildStandIn --gtest_catch_exceptions=0");
    SetEnvironmentVariableA("VARNET_TEST_CRASH_MARKER", nullptr);
    SetEnvironmentVariableA("VARNET_TEST_CRASH_SAVE_HANGS", nullptr);
    EXPECT_EQ(code, DWORD(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
}

TEST(TerminationRequest, SessionEndReachesTheCallbackOnThisThread) {
    int context = 0;
    platform::onTerminationRequest(onTermination, &context);
    HWND watcher = FindWindowA("VarnetSessionWatch", nullptr);
    ASSERT_NE(watcher, nullptr);
    EXPECT_EQ(SendMessageA(watcher, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(terminationCalls, 0);
    SendMessageA(watcher, WM_ENDSESSION, FALSE, 0);  // the session goes on after all
    EXPECT_EQ(terminationCalls, 0);
    SendMessageA(watcher, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(terminationCalls, 1);
    EXPECT_EQ(terminationContextSeen, &context);
}
