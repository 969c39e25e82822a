// The floor of a GTK 4 program at rest: one empty window and its main loop,
// nothing else. Measured by memory_bench beside the program.
#include <gtk/gtk.h>

#include <cstdlib>

int main() {
    // The renderer the program itself runs with unless the user chose one.
    setenv("GSK_RENDERER", "cairo", 0);
    gtk_init();
    GtkWidget* window = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(window), "Floor GTK");
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_window_present(GTK_WINDOW(window));
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
