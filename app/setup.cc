#include "app/setup.h"

#include "host/message_box.h"
#include "registry/registry.h"

const char kFolderMenuKey[] = "HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz";

namespace {

const char kFolderCommandKey[] = "HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command";
const char kFileMenuKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz";
const char kFileCommandKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz\\command";
const char kBoxTitle[] = "Create tar.gz";

}  // namespace

std::string MenuCommand(const std::string& program_path) {
  return "\"" + program_path + "\" \"%1\"";
}

int RegisterContextMenu(const std::string& program_path) {
  std::string command = MenuCommand(program_path);
  const struct {
    const char* key;
    const char* value;  // null: create the key only
  } steps[] = {
      {kFolderCommandKey, nullptr}, {kFolderCommandKey, command.c_str()},
      {kFileMenuKey, nullptr},      {kFileMenuKey, "Create tar.xz"},
      {kFileCommandKey, nullptr},   {kFileCommandKey, command.c_str()},
  };
  std::string failed_key, reason;
  for (const auto& step : steps) {
    std::string why;
    int ok = step.value ? RegistryCreateAndSetValue(step.key, "", step.value, 1, ".", &why)
                        : RegistryCreateKey(step.key, ".", &why);
    if (!ok && failed_key.empty()) {
      failed_key = step.key;
      reason = why;
    }
  }
  if (failed_key.empty()) {
    ShowMessageBox(kBoxTitle, "Create tar.gz Context Menu Setup OK");
    return 0;
  }
  // Setup ran because the folder menu key was absent: take it away again, so
  // that the next start (with the rights it lacked) runs Setup mode once more
  // instead of taking a half-written registration for a finished one.
  RegistryDeleteKeyTree(kFolderMenuKey, ".");
  std::string text = "Create tar.gz Context Menu Setup failed\n" + failed_key + ": " + reason;
  ShowMessageBox(kBoxTitle, text.c_str(), kBoxError);
  return 1;
}
