// Fake backend: the web view library is absent in unit tests; the core's
// references to it resolve here. Bound calls, their answers and dispatched
// work are kept for the tests; the rest does nothing.
#include <atomic>
#include <map>
#include <utility>
#include <mutex>

#include "bridge/webview_api.h"
#include "tests/fake/fake_platform.h"

namespace {

struct Binding {
    void (*fn)(const char*, const char*, void*);
    void* arg;
};

std::mutex fakeLock;  // the dispatch queue is filled from other threads
std::map<std::string, Binding> bindings;
std::vector<std::pair<std::string, std::string>> answers;
std::vector<std::pair<void (*)(webview_t, void*), void*>> dispatched;
std::atomic<int> terminations{0};

}  // namespace

namespace fake {

void callPage(const std::string& name, const std::string& id, const std::string& args) {
    const Binding binding = bindings.at(name);
    binding.fn(id.c_str(), args.c_str(), binding.arg);
}

std::vector<std::pair<std::string, std::string>> takePageAnswers() {
    std::lock_guard<std::mutex> lock(fakeLock);
    return std::exchange(answers, {});
}

size_t runDispatched(webview_t w) {
    std::vector<std::pair<void (*)(webview_t, void*), void*>> work;
    {
        std::lock_guard<std::mutex> lock(fakeLock);
        work.swap(dispatched);
    }
    for (const auto& [fn, arg] : work) fn(w, arg);
    return work.size();
}

int terminateCount() { return terminations; }

void forgetPage() {
    std::lock_guard<std::mutex> lock(fakeLock);
    bindings.clear();
    answers.clear();
    dispatched.clear();
    terminations = 0;
}

size_t dispatchedCount() {
    std::lock_guard<std::mutex> lock(fakeLock);
    return dispatched.size();
}

}  // namespace fake

extern "C" {
webview_t webview_create(int, void*) { return fake::nextWebview; }
int webview_destroy(webview_t) { return 0; }
int webview_run(webview_t) {
    if (fake::whileRunning) fake::whileRunning();
    return 0;
}
int webview_terminate(webview_t) {
    ++terminations;
    return 0;
}
int webview_dispatch(webview_t, void (*fn)(webview_t, void*), void* arg) {
    std::lock_guard<std::mutex> lock(fakeLock);
    dispatched.emplace_back(fn, arg);
    return 0;
}
void* webview_get_window(webview_t w) { return w; }  // a fake::FakeWindow, or null
void* webview_get_native_handle(webview_t, int) { return nullptr; }
int webview_set_title(webview_t, const char*) { return 0; }
int webview_set_size(webview_t w, int width, int height, int) {
    if (auto* window = static_cast<fake::FakeWindow*>(w)) {
        window->width = width;
        window->height = height;
    }
    return 0;
}
int webview_set_html(webview_t, const char*) { return 0; }
int webview_navigate(webview_t, const char*) { return 0; }
int webview_init(webview_t, const char*) { return 0; }
int webview_eval(webview_t, const char*) { return 0; }
int webview_bind(webview_t, const char* name, void (*fn)(const char*, const char*, void*), void* arg) {
    bindings[name] = Binding{fn, arg};
    return 0;
}
int webview_unbind(webview_t, const char*) { return 0; }
int webview_return(webview_t, const char* id, int, const char* result) {
    std::lock_guard<std::mutex> lock(fakeLock);
    answers.emplace_back(id, result);
    return 0;
}
const void* webview_version(void) { return nullptr; }
}
