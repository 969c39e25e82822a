// Places and durable file replacement on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace {

class LocalAppData : public ::testing::Test {
protected:
    std::string saved;
    bool hadValue = false;
    void SetUp() override {
        char buffer[32768];
        DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof buffer);
        hadValue = length > 0 && length < sizeof buffer;
        if (hadValue) saved.assign(buffer, length);
    }
    void TearDown() override {
        SetEnvironmentVariableA("LOCALAPPDATA", hadValue ? saved.c_str() : nullptr);
    }
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string tempFolder() {
    auto dir = std::filesystem::temp_directory_path() /
               ("varnet-win-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace

TEST_F(LocalAppData, UsedUpTo259CharactersOtherwiseTheCurrentFolder) {
    std::string fits = "C:\\" + std::string(256, 'a');
    ASSERT_EQ(fits.size(), 259u);
    SetEnvironmentVariableA("LOCALAPPDATA", fits.c_str());
    EXPECT_EQ(platform::dataDir(), fits + "\\Varnet");

    std::string tooLong = fits + "b";
    SetEnvironmentVariableA("LOCALAPPDATA", tooLong.c_str());
    EXPECT_EQ(platform::dataDir(), ".\\Varnet");

    SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
    EXPECT_EQ(platform::dataDir(), ".\\Varnet");
}

TEST(Places, SideFilesLiveBesideTheExecutable) {
    std::string exe = platform::executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(platform::pathSeparator(), '\\');
    EXPECT_EQ(platform::executableDir(), exe.substr(0, exe.find_last_of('\\')));
    EXPECT_EQ(platform::sideFileDir(), platform::executableDir());
    EXPECT_TRUE(platform::pathExists(exe));
}

TEST(Files, ReplaceDurablyOverwritesWholeAndLeavesNoTemporary) {
    std::string dir = tempFolder();
    std::string path = dir + "\\session.mcr";
    ASSERT_TRUE(platform::replaceFileDurably(path, "first\r\nversion\r\n"));
    ASSERT_TRUE(platform::replaceFileDurably(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(platform::replaceFileDurably(dir + "\\missing\\x.txt", "x"));

    std::string sub = dir + "\\Varnet";
    EXPECT_TRUE(platform::createDirectory(sub));
    EXPECT_TRUE(platform::createDirectory(sub));
    EXPECT_TRUE(platform::moveFile(path, sub + "\\session.mcr"));
    EXPECT_FALSE(platform::pathExists(path));
    EXPECT_EQ(readAll(sub + "\\session.mcr"), "second");
    std::filesystem::remove_all(dir);
}

// The web view's data folder for a program run as another account: a
// folder that cannot be made (its parent is a file) is passed over, the
// next one made, and the probe that tried it is gone again.
TEST(Files, TheFirstWritableFolderIsChosenAndLeftWithoutItsProbe) {
    const std::string base = tempFolder();
    std::ofstream(base + "\\a-file") << "x";
    const std::string folders[] = {base + "\\a-file\\WebView2", base + "\\WebView2"};
    EXPECT_EQ(platform::win32::firstWritableFolder(folders, 2), folders[1]);
    EXPECT_TRUE(std::filesystem::is_empty(folders[1]));
    EXPECT_EQ(platform::win32::firstWritableFolder(folders, 1), "");
    std::filesystem::remove_all(base);
}

TEST(Time, CounterSleepsReachTheirDeadline) {
    int64_t frequency = platform::perfCounterFrequency();
    ASSERT_GT(frequency, 0);
    platform::beginTimerResolution();
    int64_t start = platform::perfCounter();
    int64_t deadline = start + frequency * 5 / 1000;
    platform::sleepUntilCounter(deadline);
    EXPECT_GE(platform::perfCounter(), deadline);
    platform::sleepMs(2);
    EXPECT_GE(platform::perfCounter() - start, frequency * 7 / 1000);
    platform::endTimerResolution();
}

// WebView2's user data folder: one the library's place cannot hold (under a
// plain file) sends WebView2 to the temporary folder, through its variable;
// a usable one, or a folder the user set, is left as it is.
TEST(WebViewData, AnUnusableFolderIsReplacedByATemporaryOne) {
    const std::string root = tempFolder();
    std::ofstream(root + "\\taken") << "a file, not a folder";
    std::filesystem::create_directories(root + "\\usable");
    struct Case {
        const char* folder;
        const wchar_t* userSet;
        bool replaced;
    };
    const Case cases[] = {
        {"\\taken\\varnet.exe", nullptr, true},
        {"\\usable\\varnet.exe", nullptr, false},
        {"\\taken\\varnet.exe", L"C:\\chosen by the user", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        SetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", c.userSet);
        const std::wstring folder = std::filesystem::path(root + c.folder).wstring();
        const std::wstring chosen = platform::win32::useUsableWebViewData(folder);
        wchar_t variable[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", variable, MAX_PATH);
        if (c.replaced) {
            EXPECT_NE(chosen.find(L"Varnet WebView2"), std::wstring::npos);
            EXPECT_EQ(std::wstring(variable), chosen);
            EXPECT_EQ(platform::win32::dataFolderProblem(chosen), "");
        } else {
            EXPECT_EQ(chosen, L"");
            EXPECT_EQ(std::wstring(variable), c.userSet ? c.userSet : L"");
        }
    }
    SetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", nullptr);
    std::filesystem::remove_all(root);
}
