// Folders whose names hold letters outside the ANSI code page, and spaces:
// the data folder, the executable's folder, an exported profile and the
// start-up registration all work through them.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#include "store/profile_files.h"
#include "tests/win32/message_box.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

const char kFolderName[] = "\xD0\x82\xD0\xBE\xD1\x80\xD1\x92\xD0\xB5 \xCE\xA9mega";  // "Ђорђе Ωmega"
const char kProfileName[] = "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB \xCE\xA9";  // "Профил Ω"

std::filesystem::path utf8Path(const std::string& text) { return std::filesystem::path(widen(text)); }

std::string readAll(const std::string& path) {
    std::string bytes;
    return platform::readFile(path, bytes) ? bytes : "<unreadable>";
}

std::wstring runKeyValue() {
    wchar_t value[4096] = L"";
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     L"Varnet", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

class UnicodeFolders : public ::testing::Test {
protected:
    std::string root;  // UTF-8
    void SetUp() override {
        root = narrow((std::filesystem::temp_directory_path() /
                       ("varnet-unicode-" + std::to_string(GetCurrentProcessId())))
                          .wstring()) +
               "\\" + kFolderName;
        std::filesystem::create_directories(utf8Path(root));
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(utf8Path(root).parent_path(), ignored);
    }
};

}  // namespace

TEST_F(UnicodeFolders, FilesAndProfilesRoundTrip) {
    const std::string folder = root + "\\Varnet";
    ASSERT_TRUE(platform::createDirectory(folder));
    ASSERT_TRUE(platform::pathExists(folder));
    const std::string session = folder + "\\session.mcr";
    std::string failure;
    ASSERT_TRUE(platform::replaceFileDurably(session, "one", &failure)) << failure;
    ASSERT_TRUE(platform::replaceFileDurably(session, "two", &failure)) << failure;
    EXPECT_EQ(readAll(session), "two");
    EXPECT_EQ(platform::filesInFolder(folder), std::vector<std::string>{"session.mcr"});
    EXPECT_TRUE(platform::moveFile(session, session + ".kept"));
    EXPECT_FALSE(platform::pathExists(session));

    Profile profile{kProfileName, "", {}};
    MacroEvent key;
    key.kind = KeyStroke;
    key.vk = 65;
    key.down = true;
    profile.events.push_back(key);
    const std::string exported = root + "\\" + kProfileName + ".mcr";
    ASSERT_TRUE(exportProfileToFile(profile, exported));
    ASSERT_TRUE(importProfileFromFile(exported));
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    EXPECT_EQ(appState().profiles.back().name, kProfileName);
    EXPECT_EQ(appState().profiles.back().events.size(), 1u);
}

// The program, run twice from such a folder with its data in another: it
// loads and saves the session there, the second run loads what the first
// saved, and the Run key names its executable exactly.
TEST_F(UnicodeFolders, ProgramStartsSavesAndStartsAgain) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // to read the scheduler's task
    const std::string bin = root + "\\bin dir";
    const std::string data = root + "\\data " + kFolderName;
    std::filesystem::create_directories(utf8Path(bin));
    std::filesystem::create_directories(utf8Path(data + "\\Varnet"));
    const std::string program = bin + "\\varnet.exe";
    const auto built = std::filesystem::path(widen(platform::executableDir())).parent_path();
    std::filesystem::copy_file(built / "varnet.exe", utf8Path(program));
    std::filesystem::copy_file(built / "libwebview.dll", utf8Path(bin + "\\libwebview.dll"));
    ASSERT_TRUE(platform::writeFile(bin + "\\appsettings.txt", "launchOnStartup=1\r\n"));
    const std::string saved =
        "SETTINGS:0,0,0,250,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
        "CURRENT:0\r\n"
        "PROFILE:" + std::string(kProfileName) + "\r\n"
        "PROFILESETTINGS:0,0,0,250,0,0,1,10,0,0,0,0,0,0,100,1,10,32\r\n"
        "3,0.5,0,0,0,65,1,0\r\n";
    // Written by an editor: a byte-order mark and bare line ends, which only a
    // load and a save in these folders turn into the program's own text.
    std::string edited = "\xEF\xBB\xBF";
    for (char c : saved)
        if (c != '\r') edited += c;
    ASSERT_TRUE(platform::writeFile(data + "\\Varnet\\session.mcr", edited));
    SetEnvironmentVariableW(L"LOCALAPPDATA", widen(data).c_str());

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const MessageBoxRun shown = runUntilMessageBox(widen(program));
        EXPECT_TRUE(shown.boxShown);
        EXPECT_EQ(shown.exitCode, 1u);  // no WebView2 runtime under Wine
        EXPECT_EQ(readAll(data + "\\Varnet\\session.mcr"), saved);
        // Start at logon is the scheduler's task, where the scheduler answers.
        EXPECT_EQ(runKeyValue(), L"");
        std::wstring started;
        if (platform::win32::readLogonTask(started)) {
            EXPECT_EQ(started, widen(program));
        }
    }
    platform::setLaunchOnStartup(false);
    EXPECT_EQ(runKeyValue(), L"");
    std::wstring started;
    EXPECT_FALSE(platform::win32::readLogonTask(started));
    CoUninitialize();
}

// While one main process runs (its box is up), a second start ends at once
// with 0 and without a box of its own; the first, without a web view, ends with 1.
TEST_F(UnicodeFolders, SecondStartEndsWhileTheFirstRuns) {
    SetEnvironmentVariableW(L"LOCALAPPDATA", widen(root).c_str());
    const auto built = std::filesystem::path(widen(platform::executableDir())).parent_path();
    const std::string program = narrow((built / "varnet.exe").wstring());
    PROCESS_INFORMATION first = startProgram(widen(program));
    ASSERT_NE(first.hProcess, nullptr);
    HWND box = waitForMessageBox(first);
    ASSERT_NE(box, nullptr);
    PROCESS_INFORMATION second = startProgram(widen(program));
    EXPECT_EQ(exitCodeOf(second), 0u);
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), DWORD(WAIT_TIMEOUT));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(exitCodeOf(first), 1u);  // no WebView2 runtime under Wine
}
