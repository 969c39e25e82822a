// The modal message box and the profile file dialogs, owned by no window.
#include <windows.h>
#include <commdlg.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

const wchar_t kProfileFilter[] = L"Macro Profile (*.mcr)\0*.mcr\0All Files\0*.*\0";
// Long enough for any path the wide calls take.
const DWORD kPathCapacity = 32768;

OPENFILENAMEW profileDialog(std::wstring& file, DWORD flags) {
    file.assign(kPathCapacity, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = kProfileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.Flags = flags;
    return dialog;
}

std::string chosenPath(const std::wstring& file) { return win32::narrow(file.c_str()); }

}  // namespace

void showErrorBox(const std::string& title, const std::string& text) {
    MessageBoxW(nullptr, win32::widen(text).c_str(), win32::widen(title).c_str(), MB_OK);
}

bool chooseProfileFileToSave(std::string& path) {
    std::wstring file;
    OPENFILENAMEW dialog = profileDialog(file, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
    dialog.lpstrDefExt = L"mcr";
    if (!GetSaveFileNameW(&dialog)) return false;
    path = chosenPath(file);
    return true;
}

bool chooseProfileFileToOpen(std::string& path) {
    std::wstring file;
    OPENFILENAMEW dialog = profileDialog(file, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameW(&dialog)) return false;
    path = chosenPath(file);
    return true;
}

}  // namespace platform
