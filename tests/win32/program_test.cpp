// The whole program under Wine, which has no WebView2 runtime: start-up runs,
// the one message box explains what is missing, and closing it ends the
// process in order with exit code 1 and the same reason on standard error.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model/version.h"
#include "platform/platform.h"
#include "tests/win32/message_box.h"

namespace {

std::string builtProgram() {
    return (std::filesystem::path(platform::executableDir()).parent_path() / "varnet.exe").string();
}

// The box's text (ASCII here) after closing it, and the exit code; the
// reason must also be on standard error, for a launcher or a script.
std::string messageBoxText(const std::string& program, DWORD& exitCode) {
    MessageBoxRun run = runUntilMessageBox(std::filesystem::path(program).wstring());
    EXPECT_TRUE(run.started) << "cannot start " << program;
    EXPECT_TRUE(run.boxShown) << "no message box";
    EXPECT_TRUE(run.ended);
    exitCode = run.exitCode;
    const std::string text(run.text.begin(), run.text.end());
    const std::string firstLine = text.substr(0, text.find('\n'));
    EXPECT_NE(run.errors.find("Varnet: the window cannot be shown: " + firstLine), std::string::npos)
        << run.errors;
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
    std::string text = messageBoxText(builtProgram(), exitCode);
    EXPECT_NE(text.find("WebView2 Runtime is not installed"), std::string::npos) << text;
    EXPECT_NE(text.find("https://developer.microsoft.com/microsoft-edge/webview2/"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Linux"), std::string::npos) << text;
    EXPECT_EQ(exitCode, 1u);
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
    std::string text = messageBoxText((lonely / "varnet.exe").string(), exitCode);
    EXPECT_NE(text.find("libwebview.dll could not be loaded"), std::string::npos) << text;
    EXPECT_EQ(exitCode, 1u);
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

TEST(ProgramImage, CarriesTheBuildVersionForExplorer) {
    HMODULE image = LoadLibraryExA(builtProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
    ASSERT_NE(resource, nullptr);
    const wchar_t* text = static_cast<const wchar_t*>(LockResource(LoadResource(image, resource)));
    std::wstring block(text, SizeofResource(image, resource) / sizeof(wchar_t));
    std::string version = varnetVersion();
    std::wstring expected = L"ProductVersion";
    expected.push_back(L'\0');
    expected += std::wstring(version.begin(), version.end());
    EXPECT_NE(block.find(expected), std::wstring::npos);
    FreeLibrary(image);
}
