// The webview DLL is loaded at run time from the executable's folder, so a
// missing DLL (or its missing C++ runtime) gives the user our own message
// rather than a loader failure before the program starts. The library's C
// functions are defined here as forwarders through the loaded pointers.
#include <windows.h>

#include <string>

#include "bridge/webview_api.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace {

// The library's error code for a dependency that is not there.
const int kMissingDependency = -5;

struct WebviewFunctions {
    webview_t (*create)(int, void*);
    int (*destroy)(webview_t);
    int (*run)(webview_t);
    int (*terminate)(webview_t);
    int (*dispatch)(webview_t, void (*)(webview_t, void*), void*);
    void* (*getWindow)(webview_t);
    void* (*getNativeHandle)(webview_t, int);
    int (*setTitle)(webview_t, const char*);
    int (*setSize)(webview_t, int, int, int);
    int (*setHtml)(webview_t, const char*);
    int (*navigate)(webview_t, const char*);
    int (*init)(webview_t, const char*);
    int (*eval)(webview_t, const char*);
    int (*bind)(webview_t, const char*, void (*)(const char*, const char*, void*), void*);
    int (*unbind)(webview_t, const char*);
    int (*returnResult)(webview_t, const char*, int, const char*);
    const void* (*version)(void);
};

WebviewFunctions loaded{};

std::wstring executableFolderW() {
    std::wstring path = platform::win32::modulePathW();
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? L"." : path.substr(0, cut);
}

template <typename Function>
bool resolve(HMODULE library, const char* name, Function& target, std::string& missing) {
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (!target) missing += missing.empty() ? name : std::string(", ") + name;
    return target != nullptr;
}

bool resolveAll(HMODULE library, WebviewFunctions& f, std::string& missing) {
    bool ok = true;
    ok &= resolve(library, "webview_create", f.create, missing);
    ok &= resolve(library, "webview_destroy", f.destroy, missing);
    ok &= resolve(library, "webview_run", f.run, missing);
    ok &= resolve(library, "webview_terminate", f.terminate, missing);
    ok &= resolve(library, "webview_dispatch", f.dispatch, missing);
    ok &= resolve(library, "webview_get_window", f.getWindow, missing);
    ok &= resolve(library, "webview_get_native_handle", f.getNativeHandle, missing);
    ok &= resolve(library, "webview_set_title", f.setTitle, missing);
    ok &= resolve(library, "webview_set_size", f.setSize, missing);
    ok &= resolve(library, "webview_set_html", f.setHtml, missing);
    ok &= resolve(library, "webview_navigate", f.navigate, missing);
    ok &= resolve(library, "webview_init", f.init, missing);
    ok &= resolve(library, "webview_eval", f.eval, missing);
    ok &= resolve(library, "webview_bind", f.bind, missing);
    ok &= resolve(library, "webview_unbind", f.unbind, missing);
    ok &= resolve(library, "webview_return", f.returnResult, missing);
    ok &= resolve(library, "webview_version", f.version, missing);
    return ok;
}

// Started with another account's administrator credentials, the web view
// would keep its data where that account may not be able to write, and then
// create no browser, which looks like a missing runtime. WebView2 takes its
// data folder from this variable, unless the person set one.
void giveWebViewAWritableDataFolder() {
    if (GetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", nullptr, 0) != 0) return;
    if (platform::otherAccountThanDesktops().empty()) return;
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    platform::createDirectory(platform::dataDir());
    const std::string folders[] = {platform::dataDir() + "\\WebView2",
                                   platform::win32::narrow(std::wstring(temp, length)) + "Varnet-WebView2"};
    const std::string folder = platform::win32::firstWritableFolder(folders, length ? 2 : 1);
    if (!folder.empty())
        SetEnvironmentVariableW(L"WEBVIEW2_USER_DATA_FOLDER", platform::win32::widen(folder).c_str());
}

}  // namespace

namespace platform {

bool loadWebviewLibrary(std::string& error) {
    if (loaded.create) return true;
    giveWebViewAWritableDataFolder();
    std::wstring path = executableFolderW() + L"\\libwebview.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) {
        DWORD code = GetLastError();
        error = "The web view library libwebview.dll could not be loaded (error " +
                std::to_string(code) +
                ").\n\nIt must be in the folder of varnet.exe, and it needs the Microsoft "
                "Visual C++ 2015-2022 Redistributable (x64), which Microsoft offers at "
                "https://aka.ms/vs/17/release/vc_redist.x64.exe .";
        return false;
    }
    WebviewFunctions functions{};
    std::string missing;
    if (!resolveAll(library, functions, missing)) {
        FreeLibrary(library);
        error = "The web view library libwebview.dll could not be loaded: it lacks " + missing +
                ". A different version of the library is in the folder of varnet.exe.";
        return false;
    }
    loaded = functions;
    win32::useUsableWebViewData();
    return true;
}

// The library creates no browser without Microsoft's WebView2 runtime. Windows
// 11 has it built in; older systems may not.
std::string webViewEngineMissingText() {
    return "Varnet cannot open its window because the Microsoft Edge WebView2 Runtime is not "
           "installed on this computer.\n\n"
           "Install the Evergreen WebView2 Runtime (x64) from Microsoft's download page, "
           "https://developer.microsoft.com/microsoft-edge/webview2/ , then start Varnet "
           "again. Installing it needs no restart.";
}

}  // namespace platform

extern "C" {

webview_t webview_create(int debug, void* window) {
    return loaded.create ? loaded.create(debug, window) : nullptr;
}
int webview_destroy(webview_t w) { return loaded.destroy ? loaded.destroy(w) : kMissingDependency; }
int webview_run(webview_t w) { return loaded.run ? loaded.run(w) : kMissingDependency; }
int webview_terminate(webview_t w) {
    return loaded.terminate ? loaded.terminate(w) : kMissingDependency;
}
int webview_dispatch(webview_t w, void (*fn)(webview_t w, void* arg), void* arg) {
    return loaded.dispatch ? loaded.dispatch(w, fn, arg) : kMissingDependency;
}
void* webview_get_window(webview_t w) { return loaded.getWindow ? loaded.getWindow(w) : nullptr; }
void* webview_get_native_handle(webview_t w, int kind) {
    return loaded.getNativeHandle ? loaded.getNativeHandle(w, kind) : nullptr;
}
int webview_set_title(webview_t w, const char* title) {
    return loaded.setTitle ? loaded.setTitle(w, title) : kMissingDependency;
}
int webview_set_size(webview_t w, int width, int height, int hints) {
    return loaded.setSize ? loaded.setSize(w, width, height, hints) : kMissingDependency;
}
int webview_set_html(webview_t w, const char* html) {
    return loaded.setHtml ? loaded.setHtml(w, html) : kMissingDependency;
}
int webview_navigate(webview_t w, const char* url) {
    return loaded.navigate ? loaded.navigate(w, url) : kMissingDependency;
}
int webview_init(webview_t w, const char* js) {
    return loaded.init ? loaded.init(w, js) : kMissingDependency;
}
int webview_eval(webview_t w, const char* js) {
    return loaded.eval ? loaded.eval(w, js) : kMissingDependency;
}
int webview_bind(webview_t w, const char* name,
                 void (*fn)(const char* id, const char* req, void* arg), void* arg) {
    return loaded.bind ? loaded.bind(w, name, fn, arg) : kMissingDependency;
}
int webview_unbind(webview_t w, const char* name) {
    return loaded.unbind ? loaded.unbind(w, name) : kMissingDependency;
}
int webview_return(webview_t w, const char* id, int status, const char* result) {
    return loaded.returnResult ? loaded.returnResult(w, id, status, result) : kMissingDependency;
}
const void* webview_version(void) { return loaded.version ? loaded.version() : nullptr; }

}  // extern "C"
