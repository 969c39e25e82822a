// Places: the session under %LOCALAPPDATA%\Varnet, every other file beside the
// executable. Paths are narrow strings in the ANSI code page, as everywhere.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

std::string modulePath() {
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    return std::string(buffer, length);
}

std::string folderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace win32

namespace {

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

}  // namespace

char pathSeparator() { return '\\'; }

std::string executablePath() { return win32::modulePath(); }

std::string executableDir() { return win32::folderOf(win32::modulePath()); }

std::string sideFileDir() { return executableDir(); }

// A value that does not fit the 260-character buffer is not used at all.
std::string dataDir() {
    char buffer[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, MAX_PATH);
    std::string base = (length == 0 || length >= MAX_PATH) ? "." : std::string(buffer, length);
    return base + "\\Varnet";
}

bool createDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool moveFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

bool replaceFileDurably(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> sequence{0};
    std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(sequence++);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, bytes) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (!ok || !MoveFileExA(temporary.c_str(), path.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
