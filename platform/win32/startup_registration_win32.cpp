// Start at logon: the value "Varnet" under the current user's Run key holds
// the quoted path of the running executable. Failures stay silent.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {

void setLaunchOnStartup(bool enable) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (enable) {
        std::string quoted = "\"" + win32::modulePath() + "\"";
        RegSetValueExA(key, "Varnet", 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted.c_str()),
                       DWORD(quoted.size() + 1));
    } else {
        RegDeleteValueA(key, "Varnet");
    }
    RegCloseKey(key);
}

}  // namespace platform
