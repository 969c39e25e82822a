// The table of calls bound into the main window's page, and the glue that
// binds any such table into a web view.
#pragma once

#include <cstddef>
#include <string>

using PageCallHandler = std::string (*)(const std::string& args);

struct PageCall {
    const char* name;
    PageCallHandler handler;
};

// The thirty calls of the main window, in binding order.
const PageCall* mainPageCalls(size_t& count);

// Binds every call of the table into the web view. Handlers run on the UI
// thread; an exception never escapes into the library's callback.
void bindPageCalls(void* webview, const PageCall* calls, size_t count);
