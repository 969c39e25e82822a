// A person without administrator rights may start Varnet with an
// administrator's credentials: it then runs as that other account, whose
// folders hold its session and the web view's data. The desktop's own
// account is the owner of the shell's process.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace {

// The user SID of a process's token, as bytes; empty when it cannot be read.
std::vector<BYTE> tokenUser(HANDLE process) {
    std::vector<BYTE> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
        const BYTE* bytes = static_cast<const BYTE*>(sid);
        user.assign(bytes, bytes + GetLengthSid(sid));
    }
    CloseHandle(token);
    return user;
}

std::vector<BYTE> desktopsUser() {
    DWORD shellProcessId = 0;
    if (HWND shell = GetShellWindow()) GetWindowThreadProcessId(shell, &shellProcessId);
    if (shellProcessId == 0) return {};
    HANDLE shellProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId);
    if (!shellProcess) return {};
    std::vector<BYTE> user = tokenUser(shellProcess);
    CloseHandle(shellProcess);
    return user;
}

std::string accountName(std::vector<BYTE>& sid) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid.data(), name, &nameLength, domain, &domainLength, &use))
        return "another account";
    return win32::narrow(std::wstring(domain) + L"\\" + name);
}

}  // namespace

std::string otherAccountThanDesktops() {
    std::vector<BYTE> ours = tokenUser(GetCurrentProcess());
    const std::vector<BYTE> desktops = desktopsUser();
    if (ours.empty() || desktops.empty() || ours == desktops) return "";
    return accountName(ours);
}

namespace win32 {

// A probe file, made and gone again, tells a folder the account can write to
// from one it may only read.
std::string firstWritableFolder(const std::string* folders, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!createDirectory(folders[i])) continue;
        const std::wstring probe = widen(folders[i] + "\\write-probe.tmp");
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        CloseHandle(file);
        return folders[i];
    }
    return "";
}

}  // namespace win32
}  // namespace platform
