// The modal message box, owned by the main window where it exists (an
// always-on-top main window would cover it otherwise), and the profile file
// dialogs, owned by the window whose page opened them.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

const wchar_t kProfileFilter[] = L"Macro Profile (*.mcr)\0*.mcr\0All Files\0*.*\0";
// Long enough for any path the wide calls take.
const DWORD kPathCapacity = 32768;

// The main window, when the calling thread is its own: a dialog owned by
// another thread's window would tie the two threads' input together.
HWND dialogOwner() {
    HWND main = static_cast<HWND>(appState().mainWindow);
    return main && GetWindowThreadProcessId(main, nullptr) == GetCurrentThreadId() ? main : nullptr;
}

OPENFILENAMEW profileDialog(void* owner, const wchar_t* title, std::wstring& file, DWORD flags) {
    file.assign(kPathCapacity, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    // Owned, the dialog stays in front of its window, which takes no input meanwhile.
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrTitle = title;
    dialog.lpstrFilter = kProfileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathCapacity;
    // The dialog would otherwise leave the process in the chosen folder,
    // where relative paths (the data folder's fallback) would then point.
    dialog.Flags = flags | OFN_NOCHANGEDIR;
    return dialog;
}

std::string chosenPath(const std::wstring& file) { return win32::narrow(file.c_str()); }

}  // namespace

void showErrorBox(const std::string& title, const std::string& text) {
    MessageBoxW(dialogOwner(), win32::widen(text).c_str(), win32::widen(title).c_str(), MB_OK);
}

bool chooseProfileFileToSave(void* owner, const std::string& suggestedName, std::string& path) {
    std::wstring file;
    OPENFILENAMEW dialog = profileDialog(owner, L"Export profile", file, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
    // The buffer starts as the name the dialog offers.
    const std::wstring suggested = win32::widen(suggestedName);
    std::copy_n(suggested.begin(), std::min(suggested.size(), size_t(kPathCapacity - 1)), file.begin());
    dialog.lpstrDefExt = L"mcr";
    if (!GetSaveFileNameW(&dialog)) return false;
    path = chosenPath(file);
    return true;
}

bool chooseProfileFileToOpen(void* owner, std::string& path) {
    std::wstring file;
    OPENFILENAMEW dialog = profileDialog(owner, L"Import profile", file, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameW(&dialog)) return false;
    path = chosenPath(file);
    return true;
}

}  // namespace platform
