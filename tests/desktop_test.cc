// The Linux desktop entries, read with the parsers their file managers use
// (GLib's GKeyFile, KDE's kreadconfig5, an XML parser) and run as those
// managers run them, on a selection of hostile names.
#include <gio/gio.h>
#include <glib.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "catalogues/translation.h"
#include "desktop/desktop_setup.h"
#include "desktop/entry_file.h"
#include "tests/test_util.h"

namespace {

// With caja-actions, Caja shows the file-manager action, and gets no script.
bool CajaHasActions() {
  return access(ARKIVA_CAJA_ACTIONS_MODULE, F_OK) == 0;
}

const char kFolder[] = "My \"Photos\" | $HOME 'q'";
const char kFile[] = "-n \xe2\x9c\x93.txt";
const char kUsersAction[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
    "\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
    "\t<unique-id>1686147437498331-1</unique-id>\n"
    "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
    "\t<description>Example for a custom action</description>\n\t<patterns>*</patterns>\n"
    "\t<startup-notify/>\n\t<directories/>\n</action>\n</actions>\n";

class DesktopEntries : public ::testing::Test {
 protected:
  // arkiva where a user might keep it: a path that needs quoting.
  void SetUp() override {
    MakeDir(dir / "it's tools");
    program = dir / "it's tools/arkiva";
    ASSERT_EQ(0, RunArgv({"cp", BuildPath("arkiva"), program}, "", nullptr));
    // with the build's catalogues beside it, where a build's arkiva finds them
    ASSERT_EQ(0, RunArgv({"cp", "-r", BuildPath("locale"), dir / "it's tools"}, "", nullptr));
    MakeDir(home);
    MakeDir(dir / "etc");
    WriteText(dir / "file-bytes", "a file");
  }

  // Runs a program as this test's user: a fresh HOME, no display.
  int AsUser(const std::vector<std::string>& argv, const std::string& cwd = "",
             std::vector<std::string> env = {}) {
    env.insert(env.begin(), {"HOME=" + home, "XDG_DATA_HOME=", "XDG_CONFIG_HOME=",
                             "XDG_CONFIG_DIRS=" + dir / "etc", "XDG_DATA_DIRS=" + dir / "share",
                             "ARKIVA_REGISTRY=", "DISPLAY=", "WAYLAND_DISPLAY="});
    int code = RunArgv(argv, cwd, nullptr, env, dir / "stderr.txt");
    said = ReadText(dir / "stderr.txt");
    return code;
  }

  // A folder and a file with hostile names in a fresh place: their paths.
  std::vector<std::string> Selection(const std::string& where) {
    std::string place = dir / where;
    MakeDir(place);
    MakeDir(place + "/" + kFolder);
    WriteText(place + "/" + kFolder + "/" + kFile, "inside");
    WriteText(place + "/" + kFile, "a file");
    return {place + "/" + kFolder, place + "/" + kFile};
  }

  // Both archives are there and hold exactly what was selected (xz has
  // replaced the file with its archive).
  void ExpectArchived(const std::vector<std::string>& selection) {
    ScratchDir out;
    std::string diff;
    EXPECT_EQ(0, RunArgv({"/bin/sh", "-c",
                          "tar -xJf \"$1.tar.xz\" -C \"$3\" && diff -r \"$3/$(basename \"$1\")\" "
                          "\"$1\" && xz -dc \"$2.xz\" | cmp - \"$4\" 2>&1",
                          "sh", selection[0], selection[1], out.path, dir / "file-bytes"},
                         "", &diff))
        << diff;
  }

  // Runs `command` on a fresh hostile selection and checks both archives.
  void ExpectCommandArchives(const std::string& where, const std::string& command) {
    std::vector<std::string> selection = Selection(where);
    EXPECT_EQ(0, RunCommand(command, selection)) << said;
    ExpectArchived(selection);
  }

  // A key-file or XML entry's command, run as GLib-based managers run it:
  // %F becomes every path quoted by g_shell_quote, and the line is split by
  // g_shell_parse_argv.
  int RunCommand(const std::string& command, const std::vector<std::string>& paths) {
    std::string quoted;
    for (const std::string& path : paths) {
      gchar* q = g_shell_quote(path.c_str());
      quoted += (quoted.empty() ? "" : " ") + std::string(q);
      g_free(q);
    }
    std::string line = command;
    size_t at = line.find("%F");
    EXPECT_NE(std::string::npos, at) << command;
    if (at == std::string::npos)
      return -1;
    line.replace(at, 2, quoted);
    gint argc = 0;
    gchar** argv = nullptr;
    EXPECT_TRUE(g_shell_parse_argv(line.c_str(), &argc, &argv, nullptr)) << line;
    std::vector<std::string> args(argv, argv + argc);
    g_strfreev(argv);
    return AsUser(args, "/");
  }

  std::string KeyFileString(const std::string& path, const char* group, const char* key) {
    GKeyFile* file = g_key_file_new();
    std::string value = "<unreadable>";
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
      gchar* text = g_key_file_get_string(file, group, key, nullptr);
      value = text ? text : "<missing>";
      g_free(text);
    }
    g_key_file_free(file);
    return value;
  }

  // The value GLib's managers show a user of `language` (Name[de]=...).
  std::string KeyFileLocaleString(const std::string& path, const char* group, const char* key,
                                  const char* language) {
    GKeyFile* file = g_key_file_new();
    std::string value = "<unreadable>";
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr)) {
      gchar* text = g_key_file_get_locale_string(file, group, key, language, nullptr);
      value = text ? text : "<missing>";
      g_free(text);
    }
    g_key_file_free(file);
    return value;
  }

  // The value KDE shows in `language`, as KConfig picks it by the locale.
  std::string KdeString(const std::string& path, const char* group, const char* key,
                        const std::string& language = "C") {
    std::string out;
    EXPECT_EQ(0, RunArgv({"kreadconfig5", "--file", path, "--group", group, "--key", key}, "", &out,
                         {"LANG=" + language + ".UTF-8", "LC_ALL=", "LANGUAGE="}));
    return out.substr(0, out.find('\n'));
  }

  // The text of each <tag> of Thunar's actions named `name`.
  std::vector<std::string> ThunarField(const std::string& name, const std::string& tag) {
    std::vector<std::string> found;
    xmlDocPtr doc =
        xmlReadFile((home + "/.config/Thunar/uca.xml").c_str(), nullptr, XML_PARSE_NONET);
    if (!doc)
      return {"<not XML>"};
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    std::string query = "/actions/action[name='" + name + "']/" + tag;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST query.c_str(), context);
    for (int i = 0; result->nodesetval && i < result->nodesetval->nodeNr; ++i) {
      xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
      found.push_back(reinterpret_cast<const char*>(text));
      xmlFree(text);
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    xmlFreeDoc(doc);
    return found;
  }

  // Every file under the fresh HOME with its bytes, arkiva's store aside.
  std::string HomeFiles() {
    std::string out;
    EXPECT_EQ(0, RunArgv({"/bin/sh", "-c",
                          "cd \"$1\" && find . -path ./.config/arkiva -prune -o -print | sort | "
                          "while read -r f; do echo \"$f\"; [ -d \"$f\" ] || cat \"$f\"; done",
                          "sh", home},
                         "", &out));
    return out;
  }

  ScratchDir dir;
  std::string home = dir / "home";
  std::string program;
  std::string said;  // what the last run wrote to its standard error
  const std::string data = home + "/.local/share";
  const std::string store = home + "/.config/arkiva/registry.reg";
};

TEST_F(DesktopEntries, EachEntryArchivesTheSelectionAsItsManagerRunsIt) {
  WriteText(dir / "etc/uca-system.xml", kUsersAction);
  MakeDir(dir / "etc/Thunar");
  ASSERT_EQ(0, rename((dir / "etc/uca-system.xml").c_str(), (dir / "etc/Thunar/uca.xml").c_str()));
  ASSERT_EQ(0, AsUser({program})) << said;
  EXPECT_EQ(
      std::string("Create tar.gz: Create tar.gz Context Menu Setup OK\nCreate tar.xz is now ") +
          "in GNOME Files (under Scripts), " + (CajaHasActions() ? "" : "Caja (under Scripts), ") +
          "Dolphin, Nemo, PCManFM, PCManFM-Qt, caja-actions and Thunar.\n",
      said);

  // The scripts: typed by GIO as programs, which is what GNOME Files and
  // Caja list; run in the folder shown, with the names, and the paths in
  // the manager's variable.
  struct {
    std::string path, variable;
  } scripts[] = {
      {data + "/nautilus/scripts/Create tar.xz archive", "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"},
      {home + "/.config/caja/scripts/Create tar.xz archive", "CAJA_SCRIPT_SELECTED_FILE_PATHS"}};
  for (const auto& script : scripts) {
    if (script.variable[0] == 'C' && CajaHasActions())
      continue;
    std::string bytes = ReadText(script.path);
    gchar* type = g_content_type_guess(
        script.path.c_str(), reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    EXPECT_STREQ("application/x-shellscript", type);
    g_free(type);
    std::vector<std::string> selection = Selection(script.variable);
    EXPECT_EQ(0, AsUser({script.path, kFolder, kFile}, dir / script.variable,
                        {script.variable + "=" + selection[0] + "\n" + selection[1] + "\n"}))
        << said;
    ExpectArchived(selection);
  }

  std::string dolphin = data + "/kio/servicemenus/arkiva-create-tar-xz.desktop";
  struct stat st;
  ASSERT_EQ(0, stat(dolphin.c_str(), &st));
  EXPECT_TRUE(st.st_mode & S_IXUSR);  // KIO runs only executable service menus
  EXPECT_EQ("Service", KdeString(dolphin, "Desktop Entry", "Type"));
  EXPECT_EQ("inode/directory;all/allfiles;", KdeString(dolphin, "Desktop Entry", "MimeType"));
  EXPECT_EQ("Create tar.xz", KdeString(dolphin, "Desktop Action createTarXz", "Name"));
  ExpectCommandArchives("dolphin", KdeString(dolphin, "Desktop Action createTarXz", "Exec"));

  std::string nemo = data + "/nemo/actions/arkiva-create-tar-xz.nemo_action";
  EXPECT_EQ("Create tar.xz", KeyFileString(nemo, "Nemo Action", "Name"));
  EXPECT_EQ("notnone", KeyFileString(nemo, "Nemo Action", "Selection"));
  EXPECT_EQ("any;", KeyFileString(nemo, "Nemo Action", "Extensions"));
  ExpectCommandArchives("nemo", KeyFileString(nemo, "Nemo Action", "Exec"));

  std::string libfm = data + "/file-manager/actions/arkiva-create-tar-xz.desktop";
  EXPECT_EQ("Action", KeyFileString(libfm, "Desktop Entry", "Type"));
  EXPECT_EQ("all;", KeyFileString(libfm, "Desktop Entry", "Profiles"));
  EXPECT_EQ("inode/directory;all/allfiles;",
            KeyFileString(libfm, "X-Action-Profile all", "MimeTypes"));
  ExpectCommandArchives("libfm", KeyFileString(libfm, "X-Action-Profile all", "Exec"));

  // Thunar: the system's actions are kept in the user's new list.
  EXPECT_EQ(std::vector<std::string>{"1686147437498331-1"},
            ThunarField("Open Terminal Here", "unique-id"));
  EXPECT_EQ(std::vector<std::string>{"*"}, ThunarField("Create tar.xz", "patterns"));
  EXPECT_EQ(1u, ThunarField("Create tar.xz", "directories").size());
  EXPECT_EQ(1u, ThunarField("Create tar.xz", "other-files").size());
  EXPECT_EQ(std::vector<std::string>{"Pack the selection into .tar.xz archives beside it"},
            ThunarField("Create tar.xz", "description[not(@xml:lang)]"));  // in its status bar
  std::vector<std::string> command = ThunarField("Create tar.xz", "command");
  ASSERT_EQ(1u, command.size());
  ExpectCommandArchives("thunar", command[0]);
}

// "Create one tar.xz" in each manager, as it reads its entry: shown for two
// or more items only, by its own key, and its command makes one archive of
// the selection in its folder, named after it. The scripts cannot ask for
// two items: theirs makes one archive too.
TEST_F(DesktopEntries, TheSecondEntryMakesOneArchiveOfTwoOrMoreItems) {
  ASSERT_EQ(0, AsUser({program})) << said;
  std::string dolphin = data + "/kio/servicemenus/arkiva-create-one-tar-xz.desktop";
  std::string nemo = data + "/nemo/actions/arkiva-create-one-tar-xz.nemo_action";
  std::string libfm = data + "/file-manager/actions/arkiva-create-one-tar-xz.desktop";
  std::vector<std::string> thunar = ThunarField("Create one tar.xz", "command");
  std::string script = ReadText(data + "/nautilus/scripts/Create one tar.xz archive");
  const struct {
    std::string manager, label, for_many, command;
  } rows[] = {
      {"dolphin", KdeString(dolphin, "Desktop Action createOneTarXz", "Name"),
       KdeString(dolphin, "Desktop Entry", "X-KDE-MinNumberOfUrls"),
       KdeString(dolphin, "Desktop Action createOneTarXz", "Exec")},
      {"nemo", KeyFileString(nemo, "Nemo Action", "Name"),
       KeyFileString(nemo, "Nemo Action", "Selection"), KeyFileString(nemo, "Nemo Action", "Exec")},
      {"libfm", KeyFileString(libfm, "Desktop Entry", "Name"),
       KeyFileString(libfm, "X-Action-Profile all", "SelectionCount"),
       KeyFileString(libfm, "X-Action-Profile all", "Exec")},
      {"thunar", "Create one tar.xz", ThunarField("Create one tar.xz", "range").at(0),
       thunar.empty() ? "" : thunar[0]},
  };
  const std::map<std::string, std::string> for_many = {
      {"dolphin", "2"}, {"nemo", "m"}, {"libfm", ">1"}, {"thunar", "2-2147483647"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.manager);
    EXPECT_EQ("Create one tar.xz", row.label);
    EXPECT_EQ(for_many.at(row.manager), row.for_many);
    std::vector<std::string> selection = Selection(row.manager);
    EXPECT_EQ(0, RunCommand(row.command, selection)) << said;
    std::string members;
    EXPECT_EQ(0, RunArgv({"tar", "-tJf", dir / row.manager + "/" + row.manager + ".tar.xz"}, "",
                         &members));
    // (A name that begins with '-' is listed as "./name", as tar's operands are.)
    EXPECT_EQ(std::string(kFolder) + "/\n" + kFolder + "/" + kFile + "\n./" + kFile + "\n",
              members);
  }
  EXPECT_NE(std::string::npos, script.find(" --one -- \"$@\"\n")) << script;
}

// Each entry carries the label in every language, each in its manager's own
// form. The scripts, whose name is their label, are named in the language of
// the setup, which takes away those of another; GIO types each name as a
// program.
TEST_F(DesktopEntries, EveryEntryCarriesEveryLanguage) {
  ASSERT_EQ(0, AsUser({program}, "", {"LANGUAGE=de", "LANG=de_DE.UTF-8"})) << said;
  EXPECT_EQ(0u, said.find("tar.gz erstellen: Kontextmenü „tar.gz erstellen“ eingerichtet\n"
                          "„tar.xz erstellen“ ist jetzt in GNOME Files (unter „Skripte“), "))
      << said;
  struct {
    const char* language;
    const char* label;
  } rows[] = {
      {"de", "tar.xz erstellen"}, {"es", "Crear tar.xz"},   {"fr", "Créer un tar.xz"},
      {"it", "Crea tar.xz"},      {"ja", "tar.xz を作成"},  {"ko", "tar.xz 만들기"},
      {"nl", "tar.xz maken"},     {"pl", "Utwórz tar.xz"},  {"pt_BR", "Criar tar.xz"},
      {"ru", "Создать tar.xz"},   {"tr", "tar.xz oluştur"}, {"zh_CN", "创建 tar.xz"},
  };
  std::string dolphin = data + "/kio/servicemenus/arkiva-create-tar-xz.desktop";
  std::string nemo = data + "/nemo/actions/arkiva-create-tar-xz.nemo_action";
  std::string libfm = data + "/file-manager/actions/arkiva-create-tar-xz.desktop";
  // The progress window's name where the desktop lists windows (app_id
  // arkiva-progress), in no menu.
  std::string window = data + "/applications/arkiva-progress.desktop";
  EXPECT_EQ("true", KeyFileString(window, "Desktop Entry", "NoDisplay"));
  for (const auto& row : rows) {
    std::string language = row.language;
    EXPECT_EQ(row.label, KeyFileLocaleString(window, "Desktop Entry", "Name", row.language));
    EXPECT_EQ(row.label, KdeString(dolphin, "Desktop Action createTarXz", "Name", language));
    EXPECT_EQ(row.label, KeyFileLocaleString(nemo, "Nemo Action", "Name", row.language));
    EXPECT_EQ(row.label, KeyFileLocaleString(libfm, "Desktop Entry", "Name", row.language));
    EXPECT_EQ(std::vector<std::string>{row.label},
              ThunarField("Create tar.xz", "name[@xml:lang='" + language + "']"));
    EXPECT_EQ(1u, ThunarField("Create tar.xz", "description[@xml:lang='" + language + "']").size());
  }
  EXPECT_EQ("Die Auswahl in .tar.xz-Archive daneben packen",
            KeyFileLocaleString(nemo, "Nemo Action", "Comment", "de_AT"));

  std::string scripts = data + "/nautilus/scripts/";
  EXPECT_TRUE(PathExists(scripts + "tar.xz-Archiv erstellen"));
  std::string bytes = ReadText(scripts + "tar.xz-Archiv erstellen");
  std::vector<std::string> names = {kScriptName};
  for (const LanguageText& text : EveryTranslation(kScriptName))
    names.push_back(text.text);
  for (const std::string& name : names) {
    gchar* type =
        g_content_type_guess((scripts + name).c_str(),
                             reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    EXPECT_STREQ("application/x-shellscript", type) << name;
    g_free(type);
  }
  ASSERT_EQ(0, unlink(store.c_str()));
  ASSERT_EQ(0, AsUser({program}, "", {"LANGUAGE=ja", "LANG=ja_JP.UTF-8"})) << said;
  EXPECT_FALSE(PathExists(scripts + "tar.xz-Archiv erstellen"));
  EXPECT_TRUE(PathExists(scripts + "tar.xz アーカイブを作成"));
}

// Where a manager has no local path to give (the Trash), an entry's command
// gets none: it starts nothing, and never sets up a user who has not.
TEST_F(DesktopEntries, AnEntryWithoutPathsDoesNothing) {
  ASSERT_EQ(0, AsUser({program, "--"})) << said;
  EXPECT_EQ("", said);
  EXPECT_EQ(".\n", HomeFiles());
  EXPECT_FALSE(PathExists(store));
}

// A second setup writes no second entry; the user's other Thunar actions and
// a file that is not arkiva's stay as they were; remove-menu takes away what
// setup wrote and nothing else, and the next start sets up again.
TEST_F(DesktopEntries, SecondSetupUsersFilesAndRemoval) {
  MakeDir(home + "/.config/Thunar");
  WriteText(home + "/.config/Thunar/uca.xml", kUsersAction);
  MakeDir(home + "/.config/caja/scripts");
  WriteText(home + "/.config/caja/scripts/Keep me", "#!/bin/sh\n");
  MakeDir(home + "/.local");  // as in every home
  MakeDir(data);
  std::string before = HomeFiles();

  ASSERT_EQ(0, AsUser({program})) << said;
  std::string once = HomeFiles();
  ASSERT_EQ(0, unlink(store.c_str()));
  ASSERT_EQ(0, AsUser({program})) << said;
  EXPECT_EQ(once, HomeFiles());
  EXPECT_EQ(1u, ThunarField("Create tar.xz", "command").size());
  EXPECT_EQ(1u, ThunarField("Open Terminal Here", "command").size());

  ASSERT_EQ(0, AsUser({ARKIVA_SOURCE_DIR "/packaging/linux/remove-menu"})) << said;
  EXPECT_EQ(before, HomeFiles());
  EXPECT_FALSE(PathExists(store));
  ASSERT_EQ(0, AsUser({program})) << said;
  EXPECT_NE(std::string::npos, said.find("Setup OK")) << said;

  // A script of the user's own of that name is never replaced: setup says
  // so, fails, and the next start tries again. arkiva's script of the name
  // that GNOME Files never showed goes; a user's of that name stays.
  ASSERT_EQ(0, AsUser({ARKIVA_SOURCE_DIR "/packaging/linux/remove-menu"})) << said;
  MakeDir(data + "/nautilus");
  MakeDir(data + "/nautilus/scripts");
  WriteText(data + "/nautilus/scripts/Create tar.xz archive", "#!/bin/sh\necho mine\n");
  WriteText(data + "/nautilus/scripts/Create tar.xz", "#!/bin/sh\n# Written by arkiva's setup\n");
  MakeDir(home + "/.config/caja/scripts");
  WriteText(home + "/.config/caja/scripts/Create tar.xz", "#!/bin/sh\necho mine too\n");
  EXPECT_EQ(1, AsUser({program}));
  EXPECT_EQ(0u, said.find("Create tar.gz: Create tar.gz Context Menu Setup failed\nGNOME Files "
                          "(under Scripts): " +
                          data +
                          "/nautilus/scripts/Create tar.xz archive: a file of "
                          "that name that arkiva did not write is there; it was left as it is.\n"
                          "Create tar.xz is now in "))
      << said;
  EXPECT_EQ("#!/bin/sh\necho mine\n", ReadText(data + "/nautilus/scripts/Create tar.xz archive"));
  EXPECT_FALSE(PathExists(data + "/nautilus/scripts/Create tar.xz"));
  EXPECT_EQ("#!/bin/sh\necho mine too\n", ReadText(home + "/.config/caja/scripts/Create tar.xz"));
  EXPECT_EQ(std::string::npos, ReadText(store).find("Directory\\shell\\Create tar.xz]"));
}

// Beside a package's system-wide entry, a user's setup writes no second one.
TEST_F(DesktopEntries, ASystemWideEntryGetsNoUserCopy) {
  MakeDir(dir / "share");
  MakeDir(dir / "share/nemo");
  MakeDir(dir / "share/nemo/actions");
  WriteText(dir / "share/nemo/actions/arkiva-create-tar-xz.nemo_action",
            "# Written by arkiva's setup\n[Nemo Action]\n");
  ASSERT_EQ(0, AsUser({program})) << said;
  EXPECT_NE(std::string::npos, said.find(", Nemo (system-wide), ")) << said;
  EXPECT_FALSE(PathExists(data + "/nemo/actions/arkiva-create-tar-xz.nemo_action"));
  EXPECT_TRUE(PathExists(data + "/kio/servicemenus/arkiva-create-tar-xz.desktop"));
}

}  // namespace

// arkiva changes only a uca.xml that Thunar reads as its action list (GLib's
// markup parser, as Thunar's); any other is left as it is, and said so.
TEST(ThunarActions, OnlyAListThunarReadsIsChanged) {
  struct {
    const char* actions;
    bool changed;
  } rows[] = {
      {kUsersAction, true},
      {"", true},  // none yet
      {"<!-- the user's -->\n<actions>\n</actions>\n", true},
      {"<actions>\n<action>\n<name>A &amp; B</name>\n</action>\n</actions>\n", true},
      {"<actions>\n<action>\n</actions>\n", false},             // not well-formed
      {"<action>\n</action>\n", false},                         // another root
      {"<actions>\n<name>&nbsp;</name>\n</actions>\n", false},  // an entity Thunar cannot read
      {"<actions/>\n<actions/>\n", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.actions);
    std::string merged, why;
    EXPECT_EQ(row.changed, AddThunarAction(row.actions, "/usr/bin/arkiva", &merged, &why)) << why;
    EXPECT_EQ(row.changed, merged.find("/usr/bin/arkiva") != std::string::npos);
  }
}

// GNOME Files loads the package's module only where its extension library
// is .so.4 (43 and later); on 42 (Ubuntu 22.04) setup writes the script.
TEST(NautilusModule, LoadedOnlyBesideTheExtensionLibraryItLinks) {
  struct {
    std::vector<const char*> files;  // under the test's lib dir
    bool loads;
  } rows[] = {
      {{"nautilus/extensions-4/libarkiva-nautilus.so", "libnautilus-extension.so.4"}, true},
      {{"nautilus/extensions-4/libarkiva-nautilus.so", "libnautilus-extension.so.1"}, false},
      {{"libnautilus-extension.so.4"}, false},  // no module
  };
  for (const auto& row : rows) {
    ScratchDir lib;
    for (const char* file : row.files) {
      std::string path = lib / file;
      ASSERT_EQ(0, RunArgv({"mkdir", "-p", path.substr(0, path.rfind('/'))}, "", nullptr));
      WriteText(path, "");
    }
    EXPECT_EQ(row.loads, NautilusLoadsModule(lib / "nautilus/extensions-4/libarkiva-nautilus.so"))
        << row.files.back();
  }
}
