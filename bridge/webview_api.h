// The C API of the webview library (0.12), declared from its documented ABI;
// the library ships no header of its own. On Linux the program links the
// shared library; on Windows the backend loads the DLL at run time and
// provides these symbols as forwarders.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* webview_t;

enum {
    WEBVIEW_HINT_NONE = 0,
    WEBVIEW_HINT_MIN = 1,
    WEBVIEW_HINT_MAX = 2,
    WEBVIEW_HINT_FIXED = 3,
};

enum {
    WEBVIEW_NATIVE_HANDLE_KIND_UI_WINDOW = 0,
    WEBVIEW_NATIVE_HANDLE_KIND_UI_WIDGET = 1,
    WEBVIEW_NATIVE_HANDLE_KIND_BROWSER_CONTROLLER = 2,
};

webview_t webview_create(int debug, void* window);
int webview_destroy(webview_t w);
int webview_run(webview_t w);
int webview_terminate(webview_t w);
int webview_dispatch(webview_t w, void (*fn)(webview_t w, void* arg), void* arg);
void* webview_get_window(webview_t w);
void* webview_get_native_handle(webview_t w, int kind);
int webview_set_title(webview_t w, const char* title);
int webview_set_size(webview_t w, int width, int height, int hints);
int webview_set_html(webview_t w, const char* html);
int webview_navigate(webview_t w, const char* url);
int webview_init(webview_t w, const char* js);
int webview_eval(webview_t w, const char* js);
int webview_bind(webview_t w, const char* name,
                 void (*fn)(const char* id, const char* req, void* arg), void* arg);
int webview_unbind(webview_t w, const char* name);
int webview_return(webview_t w, const char* id, int status, const char* result);
const void* webview_version(void);

#ifdef __cplusplus
}
#endif
