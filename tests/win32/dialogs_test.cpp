// The profile save dialog under Wine, answered as a user would: it offers the
// suggested name, and the path typed into it comes back whole, non-ASCII
// letters included.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace {

// The dialog's file name field: a combo box whose edit holds the name.
const int kFileNameCombo = 0x47c;

HWND waitForSaveDialog() {
    for (int i = 0; i < 500; ++i) {
        HWND dialog = FindWindowW(L"#32770", nullptr);
        if (dialog && GetDlgItem(dialog, kFileNameCombo)) return dialog;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

std::wstring fieldText(HWND dialog) {
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(dialog, kFileNameCombo, text, MAX_PATH);
    return text;
}

}  // namespace

TEST(SaveDialog, OffersTheSuggestedNameAndReturnsTheTypedPathWhole) {
    const std::wstring folder = std::filesystem::temp_directory_path().wstring() + L"varnet-dlg-\u00e9t\u00e9";
    std::filesystem::create_directories(folder);
    const struct {
        bool accept;
    } runs[] = {{false}, {true}};
    for (const auto& run : runs) {
        auto chosen = std::async(std::launch::async, [] {
            std::string path;
            const bool ok = platform::chooseProfileFileToSave(nullptr, "T\xC3\xA2" "che du matin.mcr", path);
            return ok ? path : std::string("(cancelled)");
        });
        HWND dialog = waitForSaveDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(fieldText(dialog), L"T\u00e2che du matin.mcr");
        if (run.accept) SetDlgItemTextW(dialog, kFileNameCombo, (folder + L"\\r\u00e9sum\u00e9.mcr").c_str());
        PostMessageW(dialog, WM_COMMAND, run.accept ? IDOK : IDCANCEL, 0);
        const std::u8string typed = std::filesystem::path(folder + L"\\r\u00e9sum\u00e9.mcr").u8string();
        const std::string expected = run.accept ? std::string(typed.begin(), typed.end()) : "(cancelled)";
        EXPECT_EQ(chosen.get(), expected);
    }
    std::filesystem::remove_all(folder);
}
