// The setup dialog's view: a small fixed window with the resolution drop-down, the Fullscreen check
// box and the Run and Quit buttons; only the two buttons end it.
#include "platform/linux_display/setup_dialog_gtk.h"

#include "platform/linux/quit_requests.h"
#include "platform/linux_display/display_problem.h"

#include <fontconfig/fontconfig.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

namespace {

// Each button carries its result code and where to store it.
void onButton(GtkButton* clicked, gpointer) {
    *static_cast<int32_t*>(g_object_get_data(G_OBJECT(clicked), "run-result")) =
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(clicked), "code"));
    gtk_main_quit();
}

// The close box stays inert, as do Escape and Enter: the viewer answers with Run or Quit (Space
// still presses the focused button).
gboolean refuseClose(GtkWidget*, GdkEvent*, gpointer) {
    return TRUE;
}

gboolean swallowDismissKeys(GtkWidget*, GdkEventKey* event, gpointer) {
    switch (event->keyval) {
    case GDK_KEY_Escape:
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        return TRUE;
    default:
        return FALSE;
    }
}

struct DialogRun {
    int32_t result;
    bool quitWatched; // the watch on quit requests is still installed
    GtkWidget* combo;
    GtkWidget* fullscreen;
};

// A quit request (Ctrl-C, SIGTERM) ends the dialog as Quit does.
gboolean onQuitRequest(gint, GIOCondition, gpointer data) {
    auto* run = static_cast<DialogRun*>(data);
    run->result = kSetupQuit;
    run->quitWatched = false;
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

// Without a font GTK lays the dialog out tens of thousands of pixels tall, off the screen.
bool systemHasFonts() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    FcPattern* any = FcPatternCreate();
    FcObjectSet* files = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* fonts = any && files ? FcFontList(config, any, files) : nullptr;
    const bool found = fonts && fonts->nfont > 0;
    if (fonts) FcFontSetDestroy(fonts);
    if (files) FcObjectSetDestroy(files);
    if (any) FcPatternDestroy(any);
    FcConfigDestroy(config);
    return found;
}

GtkWidget* framed(const char* title, GtkWidget* child) {
    GtkWidget* frame = gtk_frame_new(title);
    gtk_container_set_border_width(GTK_CONTAINER(child), 6);
    gtk_container_add(GTK_CONTAINER(frame), child);
    return frame;
}

GtkWidget* button(const char* label, int32_t code, int32_t* result) {
    GtkWidget* widget = gtk_button_new_with_label(label);
    g_object_set_data(G_OBJECT(widget), "code", GINT_TO_POINTER(code));
    g_object_set_data(G_OBJECT(widget), "run-result", result);
    g_signal_connect(widget, "clicked", G_CALLBACK(onButton), nullptr);
    return widget;
}

} // namespace

int32_t gtkShowSetupDialog(SetupDialogView* view) {
    setDisplayProblem("");
    if (!systemHasFonts()) {
        setDisplayProblem(
            "no fonts are installed, so the setup dialog cannot be shown (any TrueType font will "
            "do, such as fonts-liberation2)");
        return -1;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        setDisplayProblem("GTK cannot open the display for the setup dialog");
        return -1;
    }
    DialogRun run{-1, false, nullptr, nullptr};

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Varnholt - Quorlax");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    // Wide enough for the caption in the title bar.
    gtk_window_set_default_size(GTK_WINDOW(window), 260, -1);
    gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);
    g_signal_connect(window, "delete-event", G_CALLBACK(refuseClose), nullptr);
    g_signal_connect(window, "key-press-event", G_CALLBACK(swallowDismissKeys), nullptr);

    run.combo = gtk_combo_box_text_new();
    for (int32_t i = 0; i < view->entryCount; ++i)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(run.combo), view->entries[i]);
    gtk_combo_box_set_active(GTK_COMBO_BOX(run.combo), view->selected);
    run.fullscreen = gtk_check_button_new_with_label("Fullscreen");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(run.fullscreen), view->fullscreen != 0);

    GtkWidget* resolution = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(resolution), run.combo);
    GtkWidget* options = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(options), run.fullscreen);
    GtkWidget* optionsRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_end(GTK_BOX(optionsRow), framed("Options", options), FALSE, FALSE, 0);
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    gtk_container_add(GTK_CONTAINER(buttons), button("Run", kSetupRun, &run.result));
    gtk_container_add(GTK_CONTAINER(buttons), button("Quit", kSetupQuit, &run.result));

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_add(GTK_CONTAINER(column), framed("Resolution", resolution));
    gtk_container_add(GTK_CONTAINER(column), optionsRow);
    gtk_container_add(GTK_CONTAINER(column), buttons);
    gtk_container_add(GTK_CONTAINER(window), column);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    const guint quitWatch = quitRequestDescriptor() >= 0
                                ? g_unix_fd_add(quitRequestDescriptor(), G_IO_IN, onQuitRequest, &run)
                                : 0;
    run.quitWatched = quitWatch != 0;
    gtk_main();
    if (run.quitWatched) g_source_remove(quitWatch);

    if (run.result == kSetupRun) {
        view->selected = gtk_combo_box_get_active(GTK_COMBO_BOX(run.combo));
        view->fullscreen = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(run.fullscreen)) ? 1 : 0;
    }
    gtk_widget_destroy(window);
    // Let the window leave the screen before the presentation's window takes it.
    while (gtk_events_pending()) gtk_main_iteration();
    return run.result;
}
