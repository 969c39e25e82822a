// A stand-in for the web view library, so that the real varnet.exe can run its
// whole main process under Wine, which has no WebView2 runtime. Built as
// libwebview.dll into a test folder of its own; it never ships.
//
// It gives the program a plain window, keeps the bindings in a table in the
// order they were made, and records what is evaluated. A test reaches it
// through a named pipe of the process, \\.\pipe\varnet-standin-<pid>, one
// request per connection (CallNamedPipe), lines separated by '\n':
//   "bindings"            -> the bound names in table order
//   "call\n<name>\n<req>" -> "<status>\n<result>" of the binding's answer,
//                            run on the UI thread as a page call would be
//   "evals"               -> the evaluated scripts
//   "html"                -> the length of the page text handed over
// and "unknown" or "unbound" otherwise.
#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define STANDIN_API extern "C" __declspec(dllexport)

namespace {

const UINT kRunCall = WM_APP + 1;
const UINT kDispatch = WM_APP + 2;
const UINT kQuit = WM_APP + 3;
const wchar_t kWindowClass[] = L"VarnetWebViewStandIn";

struct Binding {
    std::string name;
    void (*fn)(const char* id, const char* req, void* arg);
    void* arg;
};

struct Answer {
    bool given = false;
    int status = 0;
    std::string result;
};

struct StandIn {
    HWND window = nullptr;
    std::mutex lock;  // between the UI thread and the channel thread
    std::vector<Binding> bindings;
    std::vector<std::string> evals;
    std::map<std::string, Answer> answers;
    size_t htmlLength = 0;
    unsigned nextId = 0;
};

struct PendingCall {
    std::string name, req, reply;
};

struct Dispatch {
    void* webview;
    void (*fn)(void* webview, void* arg);
    void* arg;
};

StandIn* current = nullptr;

std::wstring wide(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    return out;
}

// Runs on the UI thread: the binding answers through webview_return, at once
// in this program, as every page call of it does.
void runCall(StandIn& s, PendingCall& call) {
    Binding binding{};
    std::string id;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        bool found = false;
        for (const Binding& b : s.bindings)
            if (b.name == call.name) binding = b, found = true;
        if (!found) {
            call.reply = "unbound";
            return;
        }
        id = std::to_string(++s.nextId);
        s.answers[id] = Answer{};
    }
    binding.fn(id.c_str(), call.req.c_str(), binding.arg);
    std::lock_guard<std::mutex> guard(s.lock);
    Answer answer = s.answers[id];
    s.answers.erase(id);
    call.reply = answer.given ? std::to_string(answer.status) + "\n" + answer.result : "pending";
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunCall:
        if (current) runCall(*current, *reinterpret_cast<PendingCall*>(lParam));
        return 0;
    case kDispatch: {
        Dispatch* d = reinterpret_cast<Dispatch*>(lParam);
        d->fn(d->webview, d->arg);
        delete d;
        return 0;
    }
    case kQuit:
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += (out.empty() ? "" : "\n") + line;
    return out;
}

std::string answerRequest(const std::string& request) {
    StandIn& s = *current;
    if (request.rfind("call\n", 0) == 0) {
        size_t cut = request.find('\n', 5);
        PendingCall call{request.substr(5, cut - 5),
                         cut == std::string::npos ? "" : request.substr(cut + 1), ""};
        if (!SendMessageW(s.window, kRunCall, 0, reinterpret_cast<LPARAM>(&call)) &&
            call.reply.empty())
            call.reply = "no window";
        return call.reply;
    }
    std::lock_guard<std::mutex> guard(s.lock);
    if (request == "bindings") {
        std::vector<std::string> names;
        for (const Binding& b : s.bindings) names.push_back(b.name);
        return joinLines(names);
    }
    if (request == "evals") return joinLines(s.evals);
    if (request == "html") return std::to_string(s.htmlLength);
    return "unknown";
}

// Serves one request per connection until the process ends.
void serveChannel() {
    std::string name = "\\\\.\\pipe\\varnet-standin-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                   1 << 16, 1 << 16, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        // A client that came and went before the connect leaves the pipe to
        // be disconnected like any other.
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            DisconnectNamedPipe(pipe);
            continue;
        }
        DWORD read = 0;
        if (ReadFile(pipe, buffer.data(), DWORD(buffer.size()), &read, nullptr)) {
            std::string reply = answerRequest(std::string(buffer.data(), read));
            DWORD written = 0;
            WriteFile(pipe, reply.data(), DWORD(reply.size()), &written, nullptr);
            FlushFileBuffers(pipe);
        }
        DisconnectNamedPipe(pipe);
    }
}

void registerWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
}

}  // namespace

// The program makes one web view per process, with a window of its own.
STANDIN_API void* webview_create(int, void* parent) {
    if (current || parent) return nullptr;
    registerWindowClass();
    current = new StandIn;
    current->window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    ShowWindow(current->window, SW_SHOW);
    std::thread(serveChannel).detach();
    return current;
}

STANDIN_API int webview_destroy(void* w) {
    if (w != current) return -1;
    if (IsWindow(current->window)) DestroyWindow(current->window);
    // The channel thread may still be answering; the process ends soon after.
    return 0;
}

STANDIN_API int webview_run(void*) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

STANDIN_API int webview_terminate(void* w) {
    return static_cast<StandIn*>(w)->window &&
                   PostMessageW(static_cast<StandIn*>(w)->window, kQuit, 0, 0)
               ? 0
               : -1;
}

STANDIN_API int webview_dispatch(void* w, void (*fn)(void* w, void* arg), void* arg) {
    Dispatch* d = new Dispatch{w, fn, arg};
    if (PostMessageW(static_cast<StandIn*>(w)->window, kDispatch, 0, reinterpret_cast<LPARAM>(d)))
        return 0;
    delete d;
    return -1;
}

STANDIN_API void* webview_get_window(void* w) { return static_cast<StandIn*>(w)->window; }

// Kinds 0 and 1 are the window; there is no browser controller (kind 2).
STANDIN_API void* webview_get_native_handle(void* w, int kind) {
    return kind == 2 ? nullptr : static_cast<StandIn*>(w)->window;
}

STANDIN_API int webview_set_title(void* w, const char* title) {
    return SetWindowTextW(static_cast<StandIn*>(w)->window, wide(title).c_str()) ? 0 : -1;
}

// As the library does: the size is that of the client area.
STANDIN_API int webview_set_size(void* w, int width, int height, int) {
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    return SetWindowPos(static_cast<StandIn*>(w)->window, nullptr, 0, 0, r.right - r.left,
                        r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : -1;
}

STANDIN_API int webview_set_html(void* w, const char* html) {
    StandIn& s = *static_cast<StandIn*>(w);
    std::lock_guard<std::mutex> guard(s.lock);
    s.htmlLength = html ? strlen(html) : 0;
    return 0;
}

STANDIN_API int webview_navigate(void*, const char*) { return 0; }
STANDIN_API int webview_init(void*, const char*) { return 0; }

STANDIN_API int webview_eval(void* w, const char* js) {
    StandIn& s = *static_cast<StandIn*>(w);
    std::lock_guard<std::mutex> guard(s.lock);
    s.evals.push_back(js ? js : "");
    return 0;
}

STANDIN_API int webview_bind(void* w, const char* name,
                             void (*fn)(const char* id, const char* req, void* arg), void* arg) {
    StandIn& s = *static_cast<StandIn*>(w);
    std::lock_guard<std::mutex> guard(s.lock);
    for (const Binding& b : s.bindings)
        if (b.name == name) return -2;  // the library's "duplicate"
    s.bindings.push_back(Binding{name, fn, arg});
    return 0;
}

STANDIN_API int webview_unbind(void* w, const char* name) {
    StandIn& s = *static_cast<StandIn*>(w);
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto it = s.bindings.begin(); it != s.bindings.end(); ++it)
        if (it->name == name) {
            s.bindings.erase(it);
            return 0;
        }
    return -3;  // the library's "not found"
}

STANDIN_API int webview_return(void* w, const char* id, int status, const char* result) {
    StandIn& s = *static_cast<StandIn*>(w);
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.answers.find(id);
    if (it == s.answers.end()) return -3;
    it->second = Answer{true, status, result ? result : ""};
    return 0;
}

// The library's version record: 0.12.0, marked as this stand-in.
struct VersionInfo {
    unsigned major, minor, patch;
    char number[32], preRelease[48], buildMetadata[48];
};
STANDIN_API const void* webview_version(void) {
    static const VersionInfo info{0, 12, 0, "0.12.0", "", "varnet-test-standin"};
    return &info;
}
