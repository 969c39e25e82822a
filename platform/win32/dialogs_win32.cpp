// The modal message box and the profile file dialogs, owned by no window.
#include <windows.h>
#include <commdlg.h>

#include "platform/platform.h"

namespace platform {
namespace {

const char kProfileFilter[] = "Macro Profile (*.mcr)\0*.mcr\0All Files\0*.*\0";

OPENFILENAMEA profileDialog(char* file, DWORD flags) {
    static_assert(sizeof(OPENFILENAMEA) == 152);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = kProfileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = flags;
    return dialog;
}

}  // namespace

void showErrorBox(const std::string& title, const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK);
}

bool chooseProfileFileToSave(std::string& path) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = profileDialog(file, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
    dialog.lpstrDefExt = "mcr";
    if (!GetSaveFileNameA(&dialog)) return false;
    path = file;
    return true;
}

bool chooseProfileFileToOpen(std::string& path) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = profileDialog(file, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameA(&dialog)) return false;
    path = file;
    return true;
}

}  // namespace platform
