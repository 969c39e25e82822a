// WebView2 keeps its user data in a folder the web view library names:
// "<roaming AppData>\<program's file name>". Where that folder cannot be made
// or written (a roaming profile that is read-only, a folder taken by a file),
// the browser would not start and the window would stay blank. The page
// stores nothing, so WebView2 is then pointed at a folder of the program's
// own in the user's temporary folder, through the variable it reads before
// its parameter, and standard error says so. A folder the user chose with
// that variable is kept.
#include <windows.h>
#include <shlobj.h>

#include <iostream>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform::win32 {
namespace {

const wchar_t kUserDataVariable[] = L"WEBVIEW2_USER_DATA_FOLDER";

std::wstring libraryDataFolder() {
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return L"";
    const std::wstring program = modulePathW();
    return std::wstring(appData) + L"\\" + program.substr(program.find_last_of(L"\\/") + 1);
}

std::wstring fallbackDataFolder() {
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) return L"";
    return std::wstring(temporary, length) + L"Varnet WebView2";
}

}  // namespace

// Empty when the folder is (or can be made) a folder this process can create
// files in, else why not.
std::string dataFolderProblem(const std::wstring& folder) {
    if (folder.empty()) return "no such folder";
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS)
        return errorText(DWORD(made));
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "it is not a folder";
    const std::wstring probe = folder + L"\\varnet-write-check.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return errorText(GetLastError());
    CloseHandle(file);
    return "";
}

std::wstring useUsableWebViewData(const std::wstring& libraryFolder) {
    if (GetEnvironmentVariableW(kUserDataVariable, nullptr, 0) > 0) return L"";
    const std::string problem = dataFolderProblem(libraryFolder);
    if (problem.empty()) return L"";
    const std::wstring fallback = fallbackDataFolder();
    if (!dataFolderProblem(fallback).empty()) return L"";  // nothing better: WebView2 tries its own
    SetEnvironmentVariableW(kUserDataVariable, fallback.c_str());
    std::cerr << "Varnet: the web view cannot keep its data in " << narrow(libraryFolder) << " ("
              << problem << "); it uses " << narrow(fallback) << std::endl;
    return fallback;
}

std::wstring useUsableWebViewData() { return useUsableWebViewData(libraryDataFolder()); }

}  // namespace platform::win32
