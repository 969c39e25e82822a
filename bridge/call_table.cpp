#include "bridge/call_table.h"

#include "bridge/page_calls.h"
#include "bridge/webview_api.h"

namespace {

const PageCall kMainCalls[] = {
    {"resizeWindow", callResizeWindow},
    {"popOutPanel", callPopOutPanel},
    {"updateSpammer", callUpdateSpammer},
    {"toggleSpammer", callToggleSpammer},
    {"updateKeySpam", callUpdateKeySpam},
    {"toggleKeySpam", callToggleKeySpam},
    {"startSpammer", callStartSpammer},
    {"stopSpammer", callStopSpammer},
    {"startKeySpam", callStartKeySpam},
    {"stopKeySpam", callStopKeySpam},
    {"pickLocation", callPickLocation},
    {"setTheme", callSetTheme},
    {"getSharedTheme", callGetSharedTheme},
    {"getAppSettings", callGetAppSettings},
    {"setAppSetting", callSetAppSetting},
    {"resetHotkeys", callResetHotkeys},
    {"updateTracker", callUpdateTracker},
    {"toggleRecording", callToggleRecording},
    {"togglePlayback", callTogglePlayback},
    {"optimizeMacro", callOptimizeMacro},
    {"getTrackerStatus", callGetTrackerStatus},
    {"getMacroEvents", callGetMacroEvents},
    {"deleteEvent", callDeleteEvent},
    {"updateEventTime", callUpdateEventTime},
    {"resetEverything", callResetEverything},
    {"clearProfile", callClearProfile},
    {"addProfile", callAddProfile},
    {"deleteProfile", callDeleteProfile},
    {"switchProfile", callSwitchProfile},
    {"getProfiles", callGetProfiles},
    {"exportProfile", callExportProfile},
    {"importProfile", callImportProfile},
    {"getSettings", callGetSettings},
    {"reassignKey", callReassignKey},
    {"getNotices", callGetNotices},
    {"getEventWindow", callGetEventWindow},
    {"undoChange", callUndoChange},
    {"redoChange", callRedoChange},
    {"getUndoState", callGetUndoState},
    {"insertPause", callInsertPause},
    {"insertText", callInsertText},
    {"setKeyTyper", callSetKeyTyper},
    {"editClickSteps", callEditClickSteps},
    {"cancelPick", callCancelPick},
    {"setFixedPoint", callSetFixedPoint},
    {"cancelReassign", callCancelReassign},
    {"renameProfile", callRenameProfile},
    {"duplicateProfile", callDuplicateProfile},
};

struct Binding {
    webview_t webview;
    PageCallHandler handler;
};

void onPageCall(const char* id, const char* req, void* arg) {
    Binding* binding = static_cast<Binding*>(arg);
    std::string result;
    try {
        result = binding->handler(req ? req : "");
    } catch (...) {
        // The page's promise still resolves; the handler kept what it stored.
        result.clear();
    }
    webview_return(binding->webview, id, 0, result.c_str());
}

}  // namespace

const PageCall* mainPageCalls(size_t& count) {
    count = sizeof kMainCalls / sizeof kMainCalls[0];
    return kMainCalls;
}

void bindPageCalls(void* webview, const PageCall* calls, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        // Lives as long as the window: bindings are never removed.
        Binding* binding = new Binding{webview, calls[i].handler};
        webview_bind(webview, calls[i].name, onPageCall, binding);
    }
}
