// The whole program under Wine, which has no WebView2 runtime: start-up runs,
// the one message box explains what is missing, and closing it ends the
// process in order with exit code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace {

struct BoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK findDialogOfProcess(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner != search->processId || std::string(className) != "#32770") return TRUE;
    // Only once the box is shown are its text and button in place.
    if (!IsWindowVisible(window) || !GetDlgItem(window, IDOK)) return TRUE;
    search->box = window;
    return FALSE;
}

std::string builtProgram() {
    return (std::filesystem::path(platform::executableDir()).parent_path() / "varnet.exe").string();
}

// Runs the program, returns the text of its message box after closing it,
// and the exit code.
std::string runUntilMessageBox(const std::string& program, DWORD& exitCode) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program;
        return "";
    }
    BoxSearch search{process.dwProcessId, nullptr};
    ULONGLONG deadline = GetTickCount64() + 40000;  // a fresh Wine prefix can be slow
    while (!search.box && GetTickCount64() < deadline &&
           WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT)
        EnumWindows(findDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    char text[1024] = "";
    if (search.box) {
        GetDlgItemTextA(search.box, 0xFFFF, text, sizeof text);
        PostMessageA(search.box, WM_COMMAND, IDOK, 0);
    } else {
        DWORD running = WaitForSingleObject(process.hProcess, 0);
        ADD_FAILURE() << "no message box; the program " << (running ? "still runs" : "ended");
        TerminateProcess(process.hProcess, 99);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return text;
}

class WholeProgram : public ::testing::Test {
protected:
    std::filesystem::path folder;
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("varnet-program-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
        SetEnvironmentVariableA("LOCALAPPDATA", folder.string().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

}  // namespace

TEST_F(WholeProgram, WithoutTheWebView2RuntimeSaysSoAndEndsCleanly) {
    DWORD exitCode = 12345;
    std::string text = runUntilMessageBox(builtProgram(), exitCode);
    EXPECT_NE(text.find("WebView2 runtime"), std::string::npos) << text;
    EXPECT_EQ(exitCode, 0u);
    // Shutdown still saved the session, with the default profile of a first start.
    std::ifstream session(folder / "Varnet" / "session.mcr", std::ios::binary);
    std::string saved((std::istreambuf_iterator<char>(session)), std::istreambuf_iterator<char>());
    EXPECT_NE(saved.find("Default Tracking Profile"), std::string::npos) << saved;
}

TEST_F(WholeProgram, WithoutTheWebviewLibraryNamesIt) {
    auto lonely = folder / "bin";
    std::filesystem::create_directories(lonely);
    std::filesystem::copy_file(builtProgram(), lonely / "varnet.exe");
    DWORD exitCode = 12345;
    std::string text = runUntilMessageBox((lonely / "varnet.exe").string(), exitCode);
    EXPECT_NE(text.find("libwebview.dll could not be loaded"), std::string::npos) << text;
    EXPECT_EQ(exitCode, 0u);
}

TEST(ProgramImage, ManifestAsksForAdministratorAndTheSegmentHeap) {
    HMODULE image = LoadLibraryExA(builtProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(resource, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, resource)));
    std::string manifest(bytes, SizeofResource(image, resource));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("<heapType xmlns=\"http://schemas.microsoft.com/SMI/2020/"
                            "WindowsSettings\">SegmentHeap</heapType>"),
              std::string::npos);
    FreeLibrary(image);
}
