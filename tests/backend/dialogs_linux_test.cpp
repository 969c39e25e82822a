// The profile file dialogs on a private X server, answered the way a user
// would: a name is typed (set on the chooser) and accepted.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/backend/x_session.h"
#include "tests/e2e/harness.h"

namespace {

std::string folder;

// What the scripted user does once a dialog is up.
struct Answer {
    std::string name;           // typed into the chooser
    bool acceptChooser = true;
    int replaceResponse = GTK_RESPONSE_YES;  // to "already exists"
    std::vector<std::string> filters;        // seen on the chooser
    std::string offered;                     // the name a save chooser offered
    bool askedToReplace = false;
    std::string title;        // of the chooser
    unsigned long transientFor = 0;  // the X window WM_TRANSIENT_FOR names
};
Answer answer;

GtkWindow* findToplevel(bool (*match)(GtkWindow*)) {
    GListModel* toplevels = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
        GtkWindow* w = GTK_WINDOW(g_list_model_get_item(toplevels, i));
        g_object_unref(w);
        if (gtk_widget_get_visible(GTK_WIDGET(w)) && match(w)) return w;
    }
    return nullptr;
}

bool isChooser(GtkWindow* w) { return GTK_IS_FILE_CHOOSER_DIALOG(w); }
bool isQuestion(GtkWindow* w) { return GTK_IS_MESSAGE_DIALOG(w); }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
gboolean answerDialogs(gpointer) {
    if (GtkWindow* question = findToplevel(isQuestion)) {
        // The chooser may put up messages of its own; only ours asks to replace.
        const char* title = gtk_window_get_title(question);
        const bool ours = title && std::string(title) == "Confirm Save As";
        answer.askedToReplace |= ours;
        gtk_dialog_response(GTK_DIALOG(question), ours ? answer.replaceResponse : GTK_RESPONSE_OK);
        return G_SOURCE_CONTINUE;
    }
    GtkWindow* chooser = findToplevel(isChooser);
    if (!chooser) return G_SOURCE_CONTINUE;
    GtkFileChooser* fc = GTK_FILE_CHOOSER(chooser);
    if (const char* title = gtk_window_get_title(chooser)) answer.title = title;
    if (GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(chooser))) {
        Window owner = 0;
        if (XGetTransientForHint(gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface)),
                                 gdk_x11_surface_get_xid(surface), &owner))
            answer.transientFor = owner;
    }
    GListModel* filters = gtk_file_chooser_get_filters(fc);
    answer.filters.clear();
    for (guint i = 0; i < g_list_model_get_n_items(filters); ++i) {
        GtkFileFilter* f = GTK_FILE_FILTER(g_list_model_get_item(filters, i));
        answer.filters.push_back(gtk_file_filter_get_name(f));
        g_object_unref(f);
    }
    g_object_unref(filters);
    if (!answer.acceptChooser) {
        gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
        return G_SOURCE_CONTINUE;
    }
    GFile* file = g_file_new_for_path((folder + "/" + answer.name).c_str());
    if (gtk_file_chooser_get_action(fc) == GTK_FILE_CHOOSER_ACTION_SAVE) {
        // The chooser may still be up at the next tick, holding the typed name.
        char* offered = gtk_file_chooser_get_current_name(fc);
        if (answer.offered.empty() && offered) answer.offered = offered;
        g_free(offered);
        GFile* dir = g_file_new_for_path(folder.c_str());
        gtk_file_chooser_set_current_folder(fc, dir, nullptr);
        gtk_file_chooser_set_current_name(fc, answer.name.c_str());
        g_object_unref(dir);
    } else {
        gtk_file_chooser_set_file(fc, file, nullptr);
    }
    g_object_unref(file);
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    return G_SOURCE_CONTINUE;
}
G_GNUC_END_IGNORE_DEPRECATIONS

class LinuxDialogs : public ::testing::Test {
protected:
    guint timer = 0;
    static void SetUpTestSuite() {
        useXSession();
    }
    void SetUp() override {
        folder = (std::filesystem::temp_directory_path() /
                  ("varnet-dialogs-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(folder);
        answer = Answer{};
        timer = g_timeout_add(100, answerDialogs, nullptr);
    }
    void TearDown() override {
        g_source_remove(timer);
        std::filesystem::remove_all(folder);
    }
};

}  // namespace

TEST_F(LinuxDialogs, SaveOffersTheNameAddsTheExtensionAndOffersTheFilters) {
    answer.name = "work";
    std::string path;
    ASSERT_TRUE(platform::chooseProfileFileToSave(nullptr, "Daily run.mcr", path));
    EXPECT_EQ(answer.offered, "Daily run.mcr");
    EXPECT_EQ(path, folder + "/work.mcr");
    EXPECT_EQ(answer.filters, (std::vector<std::string>{"Macro Profile (*.mcr)", "All Files"}));
    EXPECT_FALSE(answer.askedToReplace);
    answer.name = "notes.txt";
    ASSERT_TRUE(platform::chooseProfileFileToSave(nullptr, "", path));
    EXPECT_EQ(path, folder + "/notes.txt");
}

TEST_F(LinuxDialogs, SaveOverAFileThatOnlyNowGetsItsExtensionAsksFirst) {
    e2e::writeFile(folder + "/old.mcr", "keep");
    answer.name = "old";
    answer.replaceResponse = GTK_RESPONSE_NO;
    std::string path;
    EXPECT_FALSE(platform::chooseProfileFileToSave(nullptr, "", path));
    EXPECT_TRUE(answer.askedToReplace);
    answer.replaceResponse = GTK_RESPONSE_YES;
    EXPECT_TRUE(platform::chooseProfileFileToSave(nullptr, "", path));
    EXPECT_EQ(path, folder + "/old.mcr");
}

TEST_F(LinuxDialogs, OpenNeedsAnExistingFileAndCancelChoosesNothing) {
    e2e::writeFile(folder + "/there.mcr", "x");
    answer.name = "there.mcr";
    std::string path;
    ASSERT_TRUE(platform::chooseProfileFileToOpen(nullptr, path));
    EXPECT_EQ(path, folder + "/there.mcr");
    answer.acceptChooser = false;
    EXPECT_FALSE(platform::chooseProfileFileToOpen(nullptr, path));
    EXPECT_FALSE(platform::chooseProfileFileToSave(nullptr, "", path));
}

// A person sees which dialog is which, and a window manager keeps it over the
// window that opened it, which takes no input meanwhile.
TEST_F(LinuxDialogs, EachDialogIsTitledAndTransientForTheWindowThatOpenedIt) {
    e2e::writeFile(folder + "/there.mcr", "x");
    GtkWidget* owner = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(owner), "Owner");
    gtk_window_present(GTK_WINDOW(owner));
    while (!gtk_widget_get_mapped(owner)) g_main_context_iteration(nullptr, TRUE);
    const unsigned long ownerXid = gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(owner)));
    struct Case {
        const char* title;
        const char* name;
        bool (*choose)(void* owner, std::string& path);
    };
    const Case cases[] = {
        {"Export profile", "new.mcr",
         [](void* w, std::string& p) { return platform::chooseProfileFileToSave(w, "a.mcr", p); }},
        {"Import profile", "there.mcr", [](void* w, std::string& p) { return platform::chooseProfileFileToOpen(w, p); }},
    };
    for (const Case& c : cases) {
        answer = Answer{};
        answer.name = c.name;
        std::string path;
        EXPECT_TRUE(c.choose(owner, path)) << c.title;
        EXPECT_EQ(answer.title, c.title);
        EXPECT_EQ(answer.transientFor, ownerXid) << c.title;
    }
    gtk_window_destroy(GTK_WINDOW(owner));
}
