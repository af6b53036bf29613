/* GNOME Files (Nautilus 43 and later) loads this module from its extensions
 * folder. It puts "Create tar.xz" at the top level of the menu of any
 * selection of local files and folders, and "Create one tar.xz" below it
 * for two or more; choosing either starts arkiva on the
 * selected paths, detached, so that the file manager never waits. It keeps
 * no state between calls: the paths travel with each menu item. */
#include <gio/gio.h>
#include <libintl.h>
#include <nautilus-extension.h>
#include <string.h>

#include "entry_label.h"

#ifndef ARKIVA_PROGRAM
#define ARKIVA_PROGRAM "/usr/bin/arkiva"
#endif

typedef struct {
  GObject parent;
} ArkivaMenu;

typedef struct {
  GObjectClass parent;
} ArkivaMenuClass;

static GType arkiva_menu_type;

/* The local paths of the selection, or NULL when any item has none (remote
 * or virtual locations: network shares, trash, recent). */
static GStrv LocalPaths(GList* files) {
  GStrvBuilder* builder = g_strv_builder_new();
  gboolean all_local = files != NULL;
  for (GList* l = files; l != NULL && all_local; l = l->next) {
    GFile* location = nautilus_file_info_get_location(NAUTILUS_FILE_INFO(l->data));
    char* path = location ? g_file_get_path(location) : NULL;
    if (path)
      g_strv_builder_add(builder, path);
    else
      all_local = FALSE;
    g_free(path);
    g_clear_object(&location);
  }
  GStrv paths = g_strv_builder_end(builder);
  g_strv_builder_unref(builder);
  if (!all_local)
    g_clear_pointer(&paths, g_strfreev);
  return paths;
}

static void Started(GObject* source, GAsyncResult* result, gpointer user_data) {
  (void)user_data;
  GError* error = NULL;
  if (!g_subprocess_communicate_finish(G_SUBPROCESS(source), result, NULL, NULL, &error)) {
    g_warning("arkiva: could not hand the selection to %s: %s", ARKIVA_PROGRAM, error->message);
    g_error_free(error);
  }
  g_object_unref(source);
}

/* arkiva gets the paths on its standard input, each ended by a zero byte: a
 * command line holds only about 35,000 of them (exec fails with E2BIG past
 * that, and the user would see nothing). Written as the main loop runs, so
 * that GNOME Files never waits for arkiva. */
static void StartArkiva(NautilusMenuItem* item, gpointer user_data) {
  gboolean one = GPOINTER_TO_INT(user_data);
  const char* const* paths = g_object_get_data(G_OBJECT(item), "arkiva-paths");
  GByteArray* input = g_byte_array_new();
  for (const char* const* path = paths; *path; ++path)
    g_byte_array_append(input, (const guint8*)*path, strlen(*path) + 1);
  GBytes* bytes = g_byte_array_free_to_bytes(input);
  const char* each[] = {ARKIVA_PROGRAM, "--items-on-input", NULL};
  const char* all[] = {ARKIVA_PROGRAM, "--one", "--items-on-input", NULL};
  const char* const* argv = one ? all : each;
  GError* error = NULL;
  GSubprocess* arkiva = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDIN_PIPE, &error);
  if (arkiva)
    g_subprocess_communicate_async(arkiva, bytes, NULL, Started, NULL);
  else {
    g_warning("arkiva: could not start %s: %s", ARKIVA_PROGRAM, error->message);
    g_error_free(error);
  }
  g_bytes_unref(bytes);
}

/* One menu item; `one`: "Create one tar.xz", arkiva --one. */
static NautilusMenuItem* MenuItem(const char* name, const char* label, const char* tip, GStrv paths,
                                  gboolean one) {
  NautilusMenuItem* item = nautilus_menu_item_new(name, dgettext("arkiva", label),
                                                  dgettext("arkiva", tip), "package-x-generic");
  g_object_set_data_full(G_OBJECT(item), "arkiva-paths", paths, (GDestroyNotify)g_strfreev);
  g_signal_connect(item, "activate", G_CALLBACK(StartArkiva), GINT_TO_POINTER(one));
  return item;
}

static GList* GetFileItems(NautilusMenuProvider* provider, GList* files) {
  (void)provider;
  GStrv paths = LocalPaths(files);
  if (!paths)
    return NULL;
  GList* items = g_list_append(
      NULL, MenuItem("ArkivaMenu::CreateTarXz", ARKIVA_ENTRY_LABEL,
                     "Pack the selection into .tar.xz archives beside it", paths, FALSE));
  if (g_strv_length(paths) >= 2)
    items = g_list_append(items, MenuItem("ArkivaMenu::CreateOneTarXz", ARKIVA_ONE_ENTRY_LABEL,
                                          "Pack the selection into one .tar.xz archive beside it",
                                          g_strdupv(paths), TRUE));
  return items;
}

static void MenuProviderInit(gpointer g_iface, gpointer data) {
  (void)data;
  NautilusMenuProviderInterface* iface = g_iface;
  iface->get_file_items = GetFileItems;
}

static void ArkivaMenuClassInit(gpointer klass, gpointer data) {
  (void)klass;
  (void)data;
}

static void ArkivaMenuInit(GTypeInstance* instance, gpointer klass) {
  (void)instance;
  (void)klass;
}

void nautilus_module_initialize(GTypeModule* module) {
  static const GTypeInfo info = {
      sizeof(ArkivaMenuClass), NULL, NULL, ArkivaMenuClassInit, NULL, NULL, sizeof(ArkivaMenu), 0,
      ArkivaMenuInit,          NULL,
  };
  static const GInterfaceInfo menu_provider = {MenuProviderInit, NULL, NULL};
  // arkiva's catalogues, in the user's language, which GNOME Files has set.
  bindtextdomain("arkiva", ARKIVA_LOCALE_DIR);
  bind_textdomain_codeset("arkiva", "UTF-8");
  arkiva_menu_type = g_type_module_register_type(module, G_TYPE_OBJECT, "ArkivaMenu", &info, 0);
  g_type_module_add_interface(module, arkiva_menu_type, NAUTILUS_TYPE_MENU_PROVIDER,
                              &menu_provider);
}

void nautilus_module_list_types(const GType** types, int* num_types) {
  static GType type_list[1];
  type_list[0] = arkiva_menu_type;
  *types = type_list;
  *num_types = 1;
}

void nautilus_module_shutdown(void) {}
