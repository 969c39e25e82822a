// Start at logon: the value "Varnet" under the current user's Run key holds
// the quoted path of the running executable, written as UTF-16 so that any
// folder name survives. Failures stay silent.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {

void setLaunchOnStartup(bool enable) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (enable) {
        std::wstring quoted = L"\"" + win32::modulePathW() + L"\"";
        RegSetValueExW(key, L"Varnet", 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted.c_str()),
                       DWORD((quoted.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(key, L"Varnet");
    }
    RegCloseKey(key);
}

}  // namespace platform
