// The floor of a program on the same web view library: a window showing a
// small static page, nothing bound, nothing polled. Measured by memory_bench
// beside the program.
#include <cstdlib>

#include "bridge/webview_api.h"

int main() {
    // The renderer the program itself runs with unless the user chose one,
    // so the two are compared on the same footing.
    setenv("GSK_RENDERER", "cairo", 0);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    webview_t view = webview_create(0, nullptr);
    if (!view) return 1;
    webview_set_title(view, "Floor webview");
    webview_set_size(view, 800, 600, WEBVIEW_HINT_NONE);
    webview_set_html(view,
                     "<!DOCTYPE html><html><body style=\"background:#203040;color:#f0f0f0;font:14px sans-serif\">"
                     "<h1>Floor</h1><p>A static page.</p><button>A button</button></body></html>");
    webview_run(view);
    webview_destroy(view);
    return 0;
}
