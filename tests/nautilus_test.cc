// GNOME Files' module without GNOME Files: loaded with dlopen, its types
// registered in a type module of the test's own, its menu provider asked
// for items with file infos of the test's own, as Nautilus 43 does.
#include <dlfcn.h>
#include <nautilus-extension.h>
#include <unistd.h>

#include <locale.h>

#include <gtest/gtest.h>

#include "app/setup/setup.h"
#include "registry/registry.h"
#include "tests/test_util.h"

namespace {

// A NautilusFileInfo that knows its location, which is all the module asks.
struct TestFileInfo {
  GObject parent;
  GFile* location;
};
struct TestFileInfoClass {
  GObjectClass parent;
};

GFile* GetLocation(NautilusFileInfo* info) {
  return G_FILE(g_object_ref(reinterpret_cast<TestFileInfo*>(info)->location));
}
char* GetUri(NautilusFileInfo* info) {
  return g_file_get_uri(reinterpret_cast<TestFileInfo*>(info)->location);
}
void Finalize(GObject* object) {
  g_object_unref(reinterpret_cast<TestFileInfo*>(object)->location);
}

GType TestFileInfoType() {
  static GType type = 0;
  if (!type) {
    GTypeInfo info = {};
    info.class_size = sizeof(TestFileInfoClass);
    info.class_init = [](gpointer klass, gpointer) { G_OBJECT_CLASS(klass)->finalize = Finalize; };
    info.instance_size = sizeof(TestFileInfo);
    type = g_type_register_static(G_TYPE_OBJECT, "TestFileInfo", &info, GTypeFlags(0));
    GInterfaceInfo file_info = {};
    file_info.interface_init = [](gpointer iface, gpointer) {
      auto* vtable = static_cast<NautilusFileInfoInterface*>(iface);
      vtable->get_location = GetLocation;
      vtable->get_uri = GetUri;
    };
    g_type_add_interface_static(type, NAUTILUS_TYPE_FILE_INFO, &file_info);
  }
  return type;
}

GObject* FileInfo(GFile* location) {
  auto* info = static_cast<TestFileInfo*>(g_object_new(TestFileInfoType(), nullptr));
  info->location = location;
  return G_OBJECT(info);
}

// The type module Nautilus hands the module: loading is all it must do.
GType TestModuleType() {
  static GType type = 0;
  if (!type) {
    GTypeInfo info = {};
    info.class_size = sizeof(GTypeModuleClass);
    info.class_init = [](gpointer klass, gpointer) {
      G_TYPE_MODULE_CLASS(klass)->load = [](GTypeModule*) -> gboolean { return TRUE; };
      G_TYPE_MODULE_CLASS(klass)->unload = [](GTypeModule*) {};
    };
    info.instance_size = sizeof(GTypeModule);
    type = g_type_register_static(G_TYPE_TYPE_MODULE, "TestModule", &info, GTypeFlags(0));
  }
  return type;
}

class NautilusModule : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(ARKIVA_NAUTILUS_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, handle) << dlerror();
    auto initialize =
        reinterpret_cast<void (*)(GTypeModule*)>(dlsym(handle, "nautilus_module_initialize"));
    auto list_types = reinterpret_cast<void (*)(const GType**, int*)>(
        dlsym(handle, "nautilus_module_list_types"));
    ASSERT_NE(nullptr, initialize);
    ASSERT_NE(nullptr, list_types);
    ASSERT_NE(nullptr, dlsym(handle, "nautilus_module_shutdown"));
    GTypeModule* module = G_TYPE_MODULE(g_object_new(TestModuleType(), nullptr));
    g_type_module_use(module);
    initialize(module);
    const GType* types = nullptr;
    int count = 0;
    list_types(&types, &count);
    ASSERT_EQ(1, count);
    provider = g_object_new(types[0], nullptr);
    ASSERT_TRUE(NAUTILUS_IS_MENU_PROVIDER(provider));
  }

  // The items offered for these locations; each one's name and label.
  GList* Items(const std::vector<GFile*>& locations) {
    GList* files = nullptr;
    for (GFile* location : locations)
      files = g_list_prepend(files, FileInfo(location));
    files = g_list_reverse(files);
    GList* items = nautilus_menu_provider_get_file_items(NAUTILUS_MENU_PROVIDER(provider), files);
    g_list_free_full(files, g_object_unref);
    return items;
  }

  std::string Label(GList* items) {
    gchar* label = nullptr;
    g_object_get(items->data, "label", &label, nullptr);
    std::string text = label ? label : "";
    g_free(label);
    return text;
  }

  // Runs the main loop for about `milliseconds`, as GNOME Files' would.
  void Iterate(int milliseconds) {
    for (int i = 0; i < milliseconds / 10; ++i) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      usleep(10 * 1000);
    }
  }

  void* handle = nullptr;
  gpointer provider = nullptr;
  ScratchDir dir;
};

TEST_F(NautilusModule, LocalSelectionGetsTheTopLevelItemWhichArchivesIt) {
  // arkiva has been set up: the item's start archives.
  setenv("ARKIVA_REGISTRY", (dir / "registry.reg").c_str(), 1);
  ASSERT_EQ(1, RegistryCreateKey(kFolderMenuKey, "."));
  std::string folder = dir / "My \"Photos\" | $HOME 'q'";
  std::string file = dir / "-n \xe2\x9c\x93.txt";
  MakeDir(folder);
  WriteText(folder + "/inside", "inside");
  WriteText(file, "a file");

  GList* items = Items({g_file_new_for_path(folder.c_str()), g_file_new_for_path(file.c_str())});
  ASSERT_EQ(2u, g_list_length(items));  // and "Create one tar.xz", for two or more
  EXPECT_EQ("Create tar.xz", Label(items));
  EXPECT_EQ("Create one tar.xz", Label(items->next));
  nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
  g_list_free_full(items, g_object_unref);

  // The start is detached: wait for the archives, as a user would, while
  // the main loop hands arkiva the paths.
  for (int i = 0; i < 600 && !(PathExists(folder + ".tar.xz") && PathExists(file + ".xz") &&
                               !PathExists(file));
       ++i)
    Iterate(100);
  std::string out;
  MakeDir(dir / "out");
  EXPECT_EQ(0,
            RunArgv({"/bin/sh", "-c",
                     "tar -xJf \"$1.tar.xz\" -C \"$2\" && cat \"$2/$(basename \"$1\")/inside\" && "
                     "xz -dc \"$3.xz\"",
                     "sh", folder, dir / "out", file},
                    "", &out))
      << out;
  EXPECT_EQ("insidea file", out);

  // "Create one tar.xz": one archive of both, in their folder, named after it.
  std::string pair = dir / "pair";
  MakeDir(pair);
  WriteText(pair + "/a", "a");
  WriteText(pair + "/b", "b");
  GList* both = Items(
      {g_file_new_for_path((pair + "/a").c_str()), g_file_new_for_path((pair + "/b").c_str())});
  ASSERT_EQ(2u, g_list_length(both));
  nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(both->next->data));
  g_list_free_full(both, g_object_unref);
  for (int i = 0;
       i < 600 && !(PathExists(pair + "/pair.tar.xz") && !PathExists(pair + "/pair.tar")); ++i)
    Iterate(100);
  // Until arkiva has ended, and the main loop has heard it (which ends the
  // module's hand-over).
  for (int i = 0; i < 300 && RunShell("pgrep -f -- '^" + BuildPath("arkiva") +
                                      " --one --items-on-input'") == 0;
       ++i)
    Iterate(100);
  Iterate(500);
  EXPECT_EQ(0, RunArgv({"tar", "-tJf", pair + "/pair.tar.xz"}, "", &out)) << out;
  EXPECT_EQ("a\nb\n", out);
}

// More paths than a command line holds (about 35,000 of these would do):
// the last of 100,000 is archived too.
TEST_F(NautilusModule, ASelectionLargerThanACommandLineReachesArkivaWhole) {
  setenv("ARKIVA_REGISTRY", (dir / "registry.reg").c_str(), 1);
  ASSERT_EQ(1, RegistryCreateKey(kFolderMenuKey, "."));
  std::vector<GFile*> locations;
  const std::string long_name(90, 'n');
  for (int i = 0; i < 100000; ++i)
    locations.push_back(g_file_new_for_path((dir / long_name + std::to_string(i)).c_str()));
  std::string last = dir / "last.txt";
  WriteText(last, "the last item");
  locations.push_back(g_file_new_for_path(last.c_str()));
  GList* items = Items(locations);
  ASSERT_EQ(2u, g_list_length(items));
  nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
  g_list_free_full(items, g_object_unref);
  for (int i = 0; i < 600 && PathExists(last); ++i)
    Iterate(100);
  EXPECT_TRUE(PathExists(last + ".xz"));
  // arkiva still checks the archive: the folder stays until it has ended.
  for (int i = 0;
       i < 300 && RunShell("pgrep -f -- '^" + BuildPath("arkiva") + " --items-on-input'") == 0; ++i)
    Iterate(100);
}

// In a German session, whose locale GNOME Files sets: the item's label and
// tip come from the catalogues (here the build's, in the package
// /usr/share/locale's).
TEST_F(NautilusModule, TheItemSpeaksTheSessionsLanguage) {
  setenv("LANGUAGE", "de", 1);
  ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8"));
  GList* items = Items({g_file_new_for_path(dir.path.c_str())});
  ASSERT_EQ(1u, g_list_length(items));
  EXPECT_EQ("tar.xz erstellen", Label(items));
  gchar* tip = nullptr;
  g_object_get(items->data, "tip", &tip, nullptr);
  EXPECT_STREQ("Die Auswahl in .tar.xz-Archive daneben packen", tip);
  g_free(tip);
  g_list_free_full(items, g_object_unref);
  setlocale(LC_ALL, "C");
  unsetenv("LANGUAGE");
}

TEST_F(NautilusModule, RemoteAndVirtualLocationsGetNoItem) {
  for (const char* uri : {"sftp://example.org/home/u/photos", "trash:///photos", "network:///"}) {
    GList* items = Items({g_file_new_for_uri(uri)});
    EXPECT_EQ(nullptr, items) << uri;
    g_list_free_full(items, g_object_unref);
  }
  // One remote item among local ones: nothing, not a part of the selection.
  GList* items = Items({g_file_new_for_path(dir.path.c_str()), g_file_new_for_uri("sftp://h/x")});
  EXPECT_EQ(nullptr, items);
  g_list_free_full(items, g_object_unref);
}

}  // namespace
