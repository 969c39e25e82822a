// Places: the session under %LOCALAPPDATA%\Varnet, every other file beside the
// executable. Paths are UTF-8 inside the program and UTF-16 at every system
// call, so a folder name outside the ANSI code page works like any other.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string text(size_t(std::max(length, 0)), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), length,
                            nullptr, nullptr);
    return text;
}

std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : narrow(text);
}

std::wstring modulePathW() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return buffer.substr(0, length);
        if (buffer.size() >= 32768) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::string modulePath() { return narrow(modulePathW()); }

std::string folderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace win32

namespace {

using win32::widen;

bool writeAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// Fills in why the last call failed, from GetLastError; always false.
bool failed(std::string* failure, const char* step) {
    if (failure) *failure = std::string(step) + ": " + win32::errorText(GetLastError());
    return false;
}

}  // namespace

char pathSeparator() { return '\\'; }

std::string executablePath() { return win32::modulePath(); }

std::string executableDir() { return win32::folderOf(win32::modulePath()); }

std::string sideFileDir() { return executableDir(); }

// A value that does not fit 260 characters is not used at all.
std::string dataDir() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    std::string base =
        (length == 0 || length >= MAX_PATH) ? "." : win32::narrow(std::wstring(buffer, length));
    return base + "\\Varnet";
}

bool createDirectory(const std::string& path) {
    return CreateDirectoryW(widen(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
bool moveFile(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

bool readFile(const std::string& path, std::string& bytes) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char chunk[65536];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return ok;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, bytes);
    return CloseHandle(file) && ok;
}

bool replaceFileDurably(const std::string& path, const std::string& bytes, std::string* failure,
                        const RenameGate* gate) {
    static std::atomic<unsigned> sequence{0};
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    // CREATE_NEW: a name already there (planted, or left by an earlier run
    // with our process id) is skipped, never opened.
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 16; ++attempt) {
        temporary = widen(path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(sequence++));
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return failed(failure, "cannot create a temporary file");
    bool ok = writeAll(file, bytes) && FlushFileBuffers(file);
    DWORD error = GetLastError();
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        SetLastError(error);
        return failed(failure, "cannot write the temporary file");
    }
    if (gate && !gate->enter(gate->context)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    const bool renamed = MoveFileExW(temporary.c_str(), widen(path).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    error = GetLastError();
    if (gate) gate->leave(gate->context, renamed);
    if (!renamed) {
        DeleteFileW(temporary.c_str());
        SetLastError(error);
        return failed(failure, "cannot rename the temporary file over it");
    }
    return true;
}

std::vector<std::string> filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widen(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(win32::narrow(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool removeFile(const std::string& path) { return DeleteFileW(widen(path).c_str()) != 0; }

bool processRunning(uint64_t processId) {
    if (processId == 0 || processId > MAXDWORD) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

// "Local\" is the namespace of this logon session, so another user's program
// on the same machine does not count. The handle stays open for the life of
// the process; the system closes it when the process ends, however it ends.
InstanceClaim claimMainInstance(std::string& problem) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\VarnetMainProcess");
    if (!mutex) {
        problem = "cannot create the one-instance mutex (error " + std::to_string(GetLastError()) + ")";
        return InstanceClaim::Failed;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return InstanceClaim::Won;
    CloseHandle(mutex);
    return InstanceClaim::HeldByAnother;
}

}  // namespace platform
