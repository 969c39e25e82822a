// Fake backend: the web view library is absent in unit tests; the core's
// references to it resolve here and do nothing.
#include "bridge/webview_api.h"
#include "tests/fake/fake_platform.h"

extern "C" {
webview_t webview_create(int, void*) { return nullptr; }
int webview_destroy(webview_t) { return 0; }
int webview_run(webview_t) { return 0; }
int webview_terminate(webview_t) { return 0; }
int webview_dispatch(webview_t, void (*)(webview_t, void*), void*) { return 0; }
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
int webview_bind(webview_t, const char*, void (*)(const char*, const char*, void*), void*) { return 0; }
int webview_unbind(webview_t, const char*) { return 0; }
int webview_return(webview_t, const char*, int, const char*) { return 0; }
const void* webview_version(void) { return nullptr; }
}
