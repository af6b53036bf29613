// arkiva-progress TITLE: the window arkiva shows on the Linux desktop while a
// run lasts. arkiva writes its settings on our standard input, one a line
// (protocol.h); at the end of that input the window closes,
// delivers the notice it was given through the desktop's notification
// service, and exits 0. Cancel, the close button and Escape exit 10 at once:
// arkiva stops its run and cleans up. That code is the user's alone: GTK
// exits 1 when its display goes away (a logout, a crashed X server, a closed
// remote session), and a display that cannot be opened exits 3; neither is a
// cancel, and the run goes on without a window.

#include <gtk/gtk.h>
#include <libintl.h>
#include <string.h>

enum { kCancelled = 10 };  // host/ui/progress-posix.cc reads it

typedef struct {
  GtkWidget *window, *step, *item, *bar, *overall, *figures;
  GString *notice, *details;
  int exit_code;
} View;

static void Cancel(View* view) {
  view->exit_code = kCancelled;
  gtk_main_quit();
}

static gboolean OnDelete(GtkWidget* widget G_GNUC_UNUSED, GdkEvent* event G_GNUC_UNUSED,
                         gpointer view) {
  Cancel(view);
  return TRUE;
}

static gboolean OnKey(GtkWidget* widget G_GNUC_UNUSED, GdkEventKey* event, gpointer view) {
  if (event->keyval != GDK_KEY_Escape)
    return FALSE;
  Cancel(view);
  return TRUE;
}

static void OnCancel(GtkButton* button G_GNUC_UNUSED, gpointer view) {
  Cancel(view);
}

static GtkWidget* Label(GtkWidget* box) {
  GtkWidget* label = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
  gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
  return label;
}

static void Build(View* view, const char* title) {
  view->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(view->window), title);
  gtk_window_set_icon_name(GTK_WINDOW(view->window), "package-x-generic");
  gtk_window_set_default_size(GTK_WINDOW(view->window), 460, -1);
  gtk_window_set_resizable(GTK_WINDOW(view->window), FALSE);
  gtk_container_set_border_width(GTK_CONTAINER(view->window), 18);
  g_signal_connect(view->window, "delete-event", G_CALLBACK(OnDelete), view);
  g_signal_connect(view->window, "key-press-event", G_CALLBACK(OnKey), view);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_container_add(GTK_CONTAINER(view->window), box);
  // The step and its item's bar, then for a selection where the run stands.
  view->step = Label(box);
  view->bar = gtk_progress_bar_new();
  gtk_box_pack_start(GTK_BOX(box), view->bar, FALSE, FALSE, 0);
  view->figures = Label(box);
  view->item = Label(box);
  gtk_style_context_add_class(gtk_widget_get_style_context(view->item), "dim-label");
  view->overall = gtk_progress_bar_new();
  gtk_box_pack_start(GTK_BOX(box), view->overall, FALSE, FALSE, 0);

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  /* TRANSLATORS: the window's button; "_" marks the key of its mnemonic. */
  GtkWidget* cancel = gtk_button_new_with_mnemonic(dgettext("arkiva", "_Cancel"));
  g_signal_connect(cancel, "clicked", G_CALLBACK(OnCancel), view);
  gtk_container_add(GTK_CONTAINER(buttons), cancel);
  gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 6);
  gtk_widget_show_all(box);
  gtk_widget_hide(view->item);
  gtk_widget_hide(view->overall);
  gtk_widget_grab_focus(cancel);
}

static void Apply(View* view, const char* name, const char* value) {
  if (strcmp(name, "step") == 0) {
    char* markup = g_markup_printf_escaped("<b>%s</b>", value);
    gtk_label_set_markup(GTK_LABEL(view->step), markup);
    g_free(markup);
  } else if (strcmp(name, "item") == 0) {
    gtk_label_set_text(GTK_LABEL(view->item), value);
    gtk_widget_set_visible(view->item, *value != '\0');
    gtk_widget_set_visible(view->overall, *value != '\0');
  } else if (strcmp(name, "bar") == 0) {
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(view->bar), g_ascii_strtod(value, NULL));
  } else if (strcmp(name, "overall") == 0) {
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(view->overall), g_ascii_strtod(value, NULL));
  } else if (strcmp(name, "figures") == 0) {
    gtk_label_set_text(GTK_LABEL(view->figures), value);
  } else if (strcmp(name, "notice") == 0) {
    g_string_assign(view->notice, value);
  } else if (strcmp(name, "detail") == 0) {
    g_string_append_printf(view->details, "%s%s", view->details->len ? "\n" : "", value);
  }
  if (!gtk_widget_get_visible(view->window) && view->notice->len == 0)
    gtk_widget_show(view->window);
}

static gboolean OnInput(GIOChannel* input, GIOCondition condition G_GNUC_UNUSED, gpointer data) {
  View* view = data;
  char* line = NULL;
  gsize length = 0;
  GIOStatus status;
  while ((status = g_io_channel_read_line(input, &line, &length, NULL, NULL)) ==
         G_IO_STATUS_NORMAL) {
    g_strchomp(line);
    char* valid = g_utf8_make_valid(line, -1);
    char* space = strchr(valid, ' ');
    if (space) {
      *space = '\0';
      Apply(view, valid, space + 1);
    }
    g_free(valid);
    g_free(line);
  }
  if (status == G_IO_STATUS_AGAIN)
    return TRUE;
  gtk_main_quit();  // the end of the input: the run is over
  return FALSE;
}

// Whether the notification service reads markup in a notice's body, where
// an archive named "<b>R&D</b>.tar.xz" would lose its tags.
static gboolean ReadsBodyMarkup(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "GetCapabilities", NULL, G_VARIANT_TYPE("(as)"),
      G_DBUS_CALL_FLAGS_NONE, 3000, NULL, NULL);
  if (!reply)
    return TRUE;  // unknown: escaped text is shown right by a service that reads markup
  const gchar** capabilities = NULL;
  g_variant_get(reply, "(^a&s)", &capabilities);
  gboolean markup = capabilities && g_strv_contains(capabilities, "body-markup");
  g_free(capabilities);
  g_variant_unref(reply);
  return markup;
}

// The notice goes before this program ends, so that it has reached the
// notification service when arkiva exits. The summary is plain text by the
// protocol; the body is escaped where the service reads markup.
static void Notify(const char* summary, const char* body) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, NULL);
  if (!bus)
    return;
  gchar* shown = ReadsBodyMarkup(bus) ? g_markup_escape_text(body, -1) : g_strdup(body);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susssasa{sv}i)", "arkiva", 0, "package-x-generic", summary, shown, NULL, NULL,
                    -1),
      NULL, G_DBUS_CALL_FLAGS_NONE, 3000, NULL, NULL);
  if (reply)
    g_variant_unref(reply);
  g_free(shown);
  g_object_unref(bus);
}

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv))
    return 3;
  // arkiva's catalogues: a build's in locale/ beside it, the package's where
  // every program's are. gtk_init has set the user's language.
  gchar* own = g_file_read_link("/proc/self/exe", NULL);
  gchar* folder = own ? g_path_get_dirname(own) : g_strdup(".");
  gchar* beside = g_build_filename(folder, "locale", NULL);
  bindtextdomain("arkiva", g_file_test(beside, G_FILE_TEST_IS_DIR) ? beside : ARKIVA_LOCALE_DIR);
  bind_textdomain_codeset("arkiva", "UTF-8");
  g_free(beside);
  g_free(folder);
  g_free(own);
  View view = {0};
  view.notice = g_string_new("");
  view.details = g_string_new("");
  Build(&view, argc > 1 ? argv[1] : "");

  GIOChannel* input = g_io_channel_unix_new(0);
  g_io_channel_set_encoding(input, NULL, NULL);
  g_io_channel_set_flags(input, G_IO_FLAG_NONBLOCK, NULL);
  g_io_add_watch(input, G_IO_IN | G_IO_HUP | G_IO_ERR, OnInput, &view);
  gtk_main();

  gtk_widget_destroy(view.window);
  if (view.exit_code == 0 && view.notice->len > 0)
    Notify(view.notice->str, view.details->str);
  return view.exit_code;
}
