// Switches off the browser's own context menu, zoom and accelerator keys
// through the WebView2 controller that the web view library exposes. MinGW
// ships no WebView2 header, so the few interfaces used are declared here with
// their methods in the order of the published interface definitions; the
// unused methods before them only hold their places in the table.
#include <windows.h>
#include <objbase.h>

#include "bridge/webview_api.h"
#include "platform/platform.h"

namespace {

// {FDB5AB74-AF33-4854-84F0-0A631DEB5EBA}
const IID kIidSettings3 = {0xfdb5ab74, 0xaf33, 0x4854,
                           {0x84, 0xf0, 0x0a, 0x63, 0x1d, 0xeb, 0x5e, 0xba}};

struct ICoreWebView2Settings : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreHostObjectsAllowed(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreHostObjectsAllowed(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsZoomControlEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsZoomControlEnabled(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsBuiltInErrorPageEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsBuiltInErrorPageEnabled(BOOL) = 0;
};

struct ICoreWebView2Settings2 : ICoreWebView2Settings {
    virtual HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR) = 0;
};

struct ICoreWebView2Settings3 : ICoreWebView2Settings2 {
    virtual HRESULT STDMETHODCALLTYPE get_AreBrowserAcceleratorKeysEnabled(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreBrowserAcceleratorKeysEnabled(BOOL) = 0;
};

// Only the first method is used.
struct ICoreWebView2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings**) = 0;
};

struct ICoreWebView2Controller : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Bounds(RECT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Bounds(RECT) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ZoomFactor(double*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ZoomFactor(double) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(INT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveFocus(int) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(INT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_GotFocus(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_GotFocus(INT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_LostFocus(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_LostFocus(INT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(void*, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(INT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2**) = 0;
};

void lockDownSettings(ICoreWebView2Settings* settings) {
    if (FAILED(settings->put_AreDefaultContextMenusEnabled(FALSE))) return;
    if (FAILED(settings->put_IsZoomControlEnabled(FALSE))) return;
    ICoreWebView2Settings3* settings3 = nullptr;
    if (FAILED(settings->QueryInterface(kIidSettings3, reinterpret_cast<void**>(&settings3))) ||
        !settings3)
        return;
    settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE);
    settings3->Release();
}

}  // namespace

namespace platform {

// The web view finds Windows' interface font by "system-ui" itself.
std::string desktopFontFamily() { return ""; }

void lockDownWebView(void* webview) {
    // The controller belongs to the library: borrowed, not released.
    auto* controller = static_cast<ICoreWebView2Controller*>(webview_get_native_handle(
        webview, WEBVIEW_NATIVE_HANDLE_KIND_BROWSER_CONTROLLER));
    if (!controller) return;
    ICoreWebView2* core = nullptr;
    if (FAILED(controller->get_CoreWebView2(&core)) || !core) return;
    ICoreWebView2Settings* settings = nullptr;
    if (SUCCEEDED(core->get_Settings(&settings)) && settings) {
        lockDownSettings(settings);
        settings->Release();
    }
    core->Release();
}

}  // namespace platform
