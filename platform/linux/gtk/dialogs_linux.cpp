// The file dialogs for exporting and importing a profile: GTK's native file
// chooser, run modally in a nested main loop so the page call that opened it
// returns only once the user has chosen. Each is transient for the window
// that opened it, so a window manager keeps it in front of that window and
// places it over it.
#include <gtk/gtk.h>

#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

struct DialogRun {
    GMainLoop* loop = nullptr;
    int response = GTK_RESPONSE_NONE;
};

void onDialogResponse(GtkNativeDialog*, int response, gpointer data) {
    DialogRun* run = static_cast<DialogRun*>(data);
    run->response = response;
    g_main_loop_quit(run->loop);
}

void onQuestionResponse(GtkDialog* dialog, int response, gpointer data) {
    DialogRun* run = static_cast<DialogRun*>(data);
    run->response = response;
    gtk_window_destroy(GTK_WINDOW(dialog));
    g_main_loop_quit(run->loop);
}

void addFilter(GtkFileChooser* chooser, const char* name, const char* pattern) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, name);
    gtk_file_filter_add_pattern(filter, pattern);
    gtk_file_chooser_add_filter(chooser, filter);
    g_object_unref(filter);
}

GtkWindow* asOwner(void* owner) { return owner && GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr; }

bool runChooser(GtkWindow* owner, const char* title, GtkFileChooserAction action,
                const std::string& suggestedName, std::string& path) {
    GtkFileChooserNative* native = gtk_file_chooser_native_new(title, owner, action, nullptr, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(native);
    addFilter(chooser, "Macro Profile (*.mcr)", "*.mcr");
    addFilter(chooser, "All Files", "*");
    GListModel* filters = gtk_file_chooser_get_filters(chooser);
    GtkFileFilter* first = GTK_FILE_FILTER(g_list_model_get_item(filters, 0));
    gtk_file_chooser_set_filter(chooser, first);
    g_object_unref(first);
    g_object_unref(filters);
    if (!suggestedName.empty()) gtk_file_chooser_set_current_name(chooser, suggestedName.c_str());
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);

    DialogRun run;
    run.loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(native, "response", G_CALLBACK(onDialogResponse), &run);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(native));
    g_main_loop_run(run.loop);
    g_main_loop_unref(run.loop);

    bool chosen = false;
    if (run.response == GTK_RESPONSE_ACCEPT) {
        GFile* file = gtk_file_chooser_get_file(chooser);
        char* local = file ? g_file_get_path(file) : nullptr;
        if (local) {
            path = local;
            chosen = true;
        }
        g_free(local);
        if (file) g_object_unref(file);
    }
    g_object_unref(native);
    return chosen;
}

bool hasExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

// The chooser confirmed the name the user typed; a name that only now gets
// its ".mcr" has to be confirmed here if it exists.
bool confirmReplace(GtkWindow* owner, const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    GtkWidget* dialog = gtk_message_dialog_new(
        owner, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
        "%s already exists.\nDo you want to replace it?", name.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), "Confirm Save As");
    DialogRun run;
    run.loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(dialog, "response", G_CALLBACK(onQuestionResponse), &run);
    gtk_window_present(GTK_WINDOW(dialog));
    g_main_loop_run(run.loop);
    g_main_loop_unref(run.loop);
    return run.response == GTK_RESPONSE_YES;
}

}  // namespace

bool chooseProfileFileToSave(void* owner, const std::string& suggestedName, std::string& path) {
    std::string chosen;
    if (!runChooser(asOwner(owner), "Export profile", GTK_FILE_CHOOSER_ACTION_SAVE, suggestedName, chosen))
        return false;
    if (!hasExtension(chosen)) {
        chosen += ".mcr";
        if (pathExists(chosen) && !confirmReplace(asOwner(owner), chosen)) return false;
    }
    path = chosen;
    return true;
}

bool chooseProfileFileToOpen(void* owner, std::string& path) {
    // The open chooser only accepts a file that exists.
    if (!runChooser(asOwner(owner), "Import profile", GTK_FILE_CHOOSER_ACTION_OPEN, "", path)) return false;
    return pathExists(path);
}

}  // namespace platform
