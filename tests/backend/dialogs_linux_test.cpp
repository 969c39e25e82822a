// The profile file dialogs on a private X server, answered the way a user
// would: a name is typed (set on the chooser) and accepted.
#include <gtest/gtest.h>

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
    ASSERT_TRUE(platform::chooseProfileFileToSave("Daily run.mcr", path));
    EXPECT_EQ(answer.offered, "Daily run.mcr");
    EXPECT_EQ(path, folder + "/work.mcr");
    EXPECT_EQ(answer.filters, (std::vector<std::string>{"Macro Profile (*.mcr)", "All Files"}));
    EXPECT_FALSE(answer.askedToReplace);
    answer.name = "notes.txt";
    ASSERT_TRUE(platform::chooseProfileFileToSave("", path));
    EXPECT_EQ(path, folder + "/notes.txt");
}

TEST_F(LinuxDialogs, SaveOverAFileThatOnlyNowGetsItsExtensionAsksFirst) {
    e2e::writeFile(folder + "/old.mcr", "keep");
    answer.name = "old";
    answer.replaceResponse = GTK_RESPONSE_NO;
    std::string path;
    EXPECT_FALSE(platform::chooseProfileFileToSave("", path));
    EXPECT_TRUE(answer.askedToReplace);
    answer.replaceResponse = GTK_RESPONSE_YES;
    EXPECT_TRUE(platform::chooseProfileFileToSave("", path));
    EXPECT_EQ(path, folder + "/old.mcr");
}

TEST_F(LinuxDialogs, OpenNeedsAnExistingFileAndCancelChoosesNothing) {
    e2e::writeFile(folder + "/there.mcr", "x");
    answer.name = "there.mcr";
    std::string path;
    ASSERT_TRUE(platform::chooseProfileFileToOpen(path));
    EXPECT_EQ(path, folder + "/there.mcr");
    answer.acceptChooser = false;
    EXPECT_FALSE(platform::chooseProfileFileToOpen(path));
    EXPECT_FALSE(platform::chooseProfileFileToSave("", path));
}
