#include "desktop/desktop_setup.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogues/translation.h"
#include "desktop/entry_file.h"
#include "entry_label.h"
#include "host/files/path_parts.h"
#include "host/files/whole_file.h"
#include "host/process/environment.h"
#include "host/system_error.h"

// Set by the build: where the package puts GNOME Files' module, and where
// caja-actions keeps its own.
#ifndef ARKIVA_INSTALLED_NAUTILUS_MODULE
#define ARKIVA_INSTALLED_NAUTILUS_MODULE ""
#endif
#ifndef ARKIVA_CAJA_ACTIONS_MODULE
#define ARKIVA_CAJA_ACTIONS_MODULE ""
#endif

namespace {

// An XDG base directory: the variable when it holds an absolute path, else
// the default under $HOME.
std::string BaseDirectory(const char* variable, const char* under_home) {
  std::string value;
  if (ReadEnvironment(variable, &value) && !value.empty() && value[0] == '/')
    return value;
  std::string home;
  ReadEnvironment("HOME", &home);
  return home + "/" + under_home;
}

// The absolute folders of a colon-separated list such as $XDG_DATA_DIRS.
std::vector<std::string> DirectoryList(const char* variable, const char* fallback) {
  std::string value;
  if (!ReadEnvironment(variable, &value) || value.empty())
    value = fallback;
  std::vector<std::string> dirs;
  for (size_t start = 0; start <= value.size();) {
    size_t end = value.find(':', start);
    if (end == std::string::npos)
      end = value.size();
    if (end > start && value[start] == '/')
      dirs.push_back(value.substr(start, end - start));
    start = end + 1;
  }
  return dirs;
}

// Empty once `file` is in place, else why not.
std::string PlaceEntryFile(const EntryFile& file) {
  std::string existing;
  int error = 0;
  if (ReadWholeFile(file.path, &existing, &error)) {
    if (existing.find(kWrittenByArkiva) == std::string::npos)
      return Translated(
          "a file of that name that arkiva did not write is there; it was left as it is.");
    if (existing == file.text)
      return "";
  } else if (error != ENOENT) {
    return Translated("it is there but cannot be read: %s", {SystemErrorText(error)});
  }
  if (!MakeFolders(ParentFolder(file.path), 0755))
    return Translated("its folder could not be made: %s", {SystemErrorText(errno)});
  return WriteWholeFile(file.path, file.text, file.executable ? 0755 : 0644);
}

// Whether one of the system's data folders holds arkiva's own `file`, with
// `user_data` replaced by that folder.
bool HasSystemEntry(const EntryFile& file, const std::string& user_data,
                    const std::vector<std::string>& system_data) {
  std::string relative = file.path.substr(user_data.size());
  for (const std::string& dir : system_data) {
    std::string text;
    int error = 0;
    if (ReadWholeFile(dir + relative, &text, &error) &&
        text.find(kWrittenByArkiva) != std::string::npos)
      return true;
  }
  return false;
}

// Takes away arkiva's own file at `path`, where a manager no longer needs it.
void RemoveOwnEntryFile(const std::string& path) {
  std::string text;
  int error = 0;
  if (ReadWholeFile(path, &text, &error) && text.find(kWrittenByArkiva) != std::string::npos)
    unlink(path.c_str());
}

bool Installed(const char* path) {
  return *path && access(path, F_OK) == 0;
}

}  // namespace

bool NautilusLoadsModule(const std::string& module_path) {
  size_t libdir_end = module_path.rfind("/nautilus/");
  return libdir_end != std::string::npos && Installed(module_path.c_str()) &&
         Installed((module_path.substr(0, libdir_end) + "/libnautilus-extension.so.4").c_str());
}

namespace {

// Thunar's list: the user's, else the system's first, with arkiva's action.
std::string PlaceThunarAction(const std::string& config_home,
                              const std::vector<std::string>& config_dirs,
                              const std::string& program, std::string* path) {
  *path = ThunarActionsPath(config_home);
  std::string actions;
  int error = 0;
  if (!ReadWholeFile(*path, &actions, &error)) {
    if (error != ENOENT)
      return Translated("it is there but cannot be read: %s", {SystemErrorText(error)});
    for (const std::string& dir : config_dirs)
      if (ReadWholeFile(dir + "/Thunar/uca.xml", &actions, &error))
        break;
  }
  std::string merged, why;
  if (!AddThunarAction(actions, program, &merged, &why))
    return why;
  struct stat st;
  mode_t mode = stat(path->c_str(), &st) == 0 ? st.st_mode & 07777 : 0644;
  if (merged == actions)
    return "";
  if (!MakeFolders(ParentFolder(*path), 0755))
    return Translated("its folder could not be made: %s", {SystemErrorText(errno)});
  return WriteWholeFile(*path, merged, mode);
}

}  // namespace

DesktopSetup SetUpDesktopEntries(const std::string& program) {
  std::string data_home = BaseDirectory("XDG_DATA_HOME", ".local/share");
  std::string config_home = BaseDirectory("XDG_CONFIG_HOME", ".config");
  std::vector<std::string> data_dirs =
      DirectoryList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  std::vector<std::string> config_dirs = DirectoryList("XDG_CONFIG_DIRS", "/etc/xdg");

  DesktopSetup setup;
  auto note = [&setup](const std::string& managers, const std::string& path,
                       const std::string& why) {
    if (why.empty())
      setup.set_up.push_back(managers);
    else
      setup.failures.push_back(managers + ": " + path + ": " + why);
  };
  for (const Entry* kind : {&kEachEntry, &kOneEntry}) {
    // The box names each manager once, by the first entry; a failure of
    // either is told.
    bool told = kind == &kEachEntry;
    // The scripts' other names: the first, which GNOME Files and Caja never
    // showed, and those of a setup in another language.
    for (const std::string& name : EveryScriptName(*kind)) {
      if (name != ScriptName(*kind)) {
        RemoveOwnEntryFile(data_home + "/nautilus/scripts/" + name);
        RemoveOwnEntryFile(config_home + "/caja/scripts/" + name);
      }
    }
    // One entry per manager: GNOME Files shows the package's module, and
    // Caja with caja-actions the file-manager action (listed with
    // PCManFM's), so their scripts would be second ones; one setup wrote
    // before is taken away.
    struct {
      std::string managers;
      EntryFile file;
      bool has_system_place;
      bool shown_otherwise;
      std::string shown_as;
    } entries[] = {
        {Translated("%s (under Scripts)", {"GNOME Files"}),
         NautilusScript(data_home, program, *kind), false,
         NautilusLoadsModule(ARKIVA_INSTALLED_NAUTILUS_MODULE),
         Translated("%s (system-wide)", {"GNOME Files"})},
        {Translated("%s (under Scripts)", {"Caja"}), CajaScript(config_home, program, *kind), false,
         Installed(ARKIVA_CAJA_ACTIONS_MODULE), ""},
        {"Dolphin", DolphinServiceMenu(data_home, program, *kind), true, false, ""},
        {"Nemo", NemoAction(data_home, program, *kind), true, false, ""},
        {"PCManFM, PCManFM-Qt, caja-actions", FileManagerAction(data_home, program, *kind), true,
         false, ""},
    };
    for (const auto& entry : entries) {
      if (entry.shown_otherwise) {
        RemoveOwnEntryFile(entry.file.path);
        if (told && !entry.shown_as.empty())
          setup.set_up.push_back(entry.shown_as);
      } else if (entry.has_system_place && HasSystemEntry(entry.file, data_home, data_dirs)) {
        if (told)
          setup.set_up.push_back(Translated("%s (system-wide)", {entry.managers}));
      } else {
        std::string why = PlaceEntryFile(entry.file);
        if (told || !why.empty())
          note(entry.managers, entry.file.path, why);
      }
    }
  }
  std::string thunar_path;
  std::string why = PlaceThunarAction(config_home, config_dirs, program, &thunar_path);
  note("Thunar", thunar_path, why);
  // The progress window's name and icon, where no package gives them. No
  // entry depends on it, so a file that cannot be written is no failure.
  EntryFile window = ProgressWindowEntry(data_home, program);
  if (!HasSystemEntry(window, data_home, data_dirs))
    PlaceEntryFile(window);
  return setup;
}
