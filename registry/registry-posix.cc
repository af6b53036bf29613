#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctype.h>

#include "host/files/path_parts.h"
#include "host/files/whole_file.h"
#include "registry/registry.h"
#include "registry/store.h"

namespace {

// A package puts it there, holding the menu keys for /usr/bin/arkiva.
const char kSystemStore[] = "/usr/share/arkiva/registry.reg";

bool Fail(std::string* failure, const std::string& reason) {
  if (failure)
    *failure = reason;
  return false;
}

bool FailErrno(std::string* failure, const std::string& what) {
  return Fail(failure, what + ": " + strerror(errno));
}

// Reads the store; a missing file is an empty store, a damaged one a failure.
bool LoadStore(const std::string& file, RegistryStore* store, std::string* failure) {
  std::string text;
  int error = 0;
  if (!ReadWholeFile(file, &text, &error)) {
    if (error == ENOENT)
      return true;
    return Fail(failure, file + ": " + strerror(error));
  }
  if (!ParseRegistryStore(text, store))
    return Fail(failure, file + ": not a registry file that can be read; left as it is");
  return true;
}

// Replaces the file as a whole: a reader sees the old file or the new one.
bool SaveStore(const std::string& file, const RegistryStore& store, std::string* failure) {
  std::string why = WriteWholeFile(file, FormatRegistryStore(store), 0600);
  return why.empty() || Fail(failure, file + ": " + why);
}

// Holds the lock between processes that change the store.
class StoreLock {
 public:
  explicit StoreLock(const std::string& file) {
    if (!MakeFolders(ParentFolder(file), 0700))
      return;
    fd_ = open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~StoreLock() {
    if (fd_ >= 0)
      close(fd_);
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The parse and the store's key path of one operation; only "." is served.
bool Resolve(const char* key_path, const char* machine, std::string* path, std::string* failure) {
  if (strcmp(machine ? machine : "", ".") != 0)
    return Fail(failure, std::string("no remote registry: \"") + (machine ? machine : "") + "\"");
  if (!ParseRegistryKeyPath(key_path))
    return Fail(failure, "the key path names no root key");
  if (!StoreKeyPath(RegistryRoot, RegistrySubKey, path) || !StorableName(*path))
    return Fail(failure, "the key path is not valid");
  return true;
}

// Runs `change` on the store under the lock and saves it when it changed.
template <typename Change>
int ChangeStore(const std::string& key, std::string* failure, Change change) {
  std::string file = RegistryStorePath();
  StoreLock lock(file);
  if (!lock.held())
    return FailErrno(failure, file + ".lock");
  RegistryStore store;
  if (!LoadStore(file, &store, failure))
    return 0;
  bool changed = false;
  if (!change(&store, &changed))
    return Fail(failure, key + ": no such key");
  return !changed || SaveStore(file, store, failure);
}

bool IsRootPath(const std::string& path) {
  return path.find('\\') == std::string::npos || path == "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
}

}  // namespace

std::string UpperCaseRootName(std::string text) {
  for (char& c : text)
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string SystemRegistryStorePath() {
  const char* explicit_path = getenv("ARKIVA_REGISTRY");
  return explicit_path && *explicit_path ? "" : kSystemStore;
}

std::string RegistryStorePath() {
  const char* explicit_path = getenv("ARKIVA_REGISTRY");
  if (explicit_path && *explicit_path)
    return explicit_path;
  const char* config = getenv("XDG_CONFIG_HOME");
  std::string folder =
      config && *config ? config : std::string(getenv("HOME") ? getenv("HOME") : "") + "/.config";
  return folder + "/arkiva/registry.reg";
}

int RegistryKeyExists(const char* key_path, const char* machine, std::string* failure) {
  std::string path;
  if (!Resolve(key_path, machine, &path, failure))
    return 0;
  if (IsRootPath(path))
    return 1;
  RegistryStore store;
  if (!LoadStore(RegistryStorePath(), &store, failure))
    return 0;
  if (FindRegistryKey(&store, path))
    return 1;
  std::string system = SystemRegistryStorePath();
  RegistryStore installed;
  if (!system.empty() && LoadStore(system, &installed, nullptr) &&
      FindRegistryKey(&installed, path))
    return 1;
  return Fail(failure, path + ": no such key");
}

bool StoreHoldsKey(const std::string& file, const char* key_path) {
  std::string path;
  RegistryStore store;
  return Resolve(key_path, ".", &path, nullptr) && LoadStore(file, &store, nullptr) &&
         FindRegistryKey(&store, path);
}

int RegistryReadText(const char* key_path, const char* value_name, const char* machine,
                     std::string* text, std::string* failure) {
  std::string path;
  uint32_t type = 0;
  if (!Resolve(key_path, machine, &path, failure))
    return 0;
  if (!QueryRegistryValue(key_path, value_name, &type, text))
    return Fail(failure, path + ": no such value");
  if (type != 1 && type != 2)
    return Fail(failure, path + ": not a text value");
  while (!text->empty() && text->back() == '\0')
    text->pop_back();
  return 1;
}

int RegistryCreateKey(const char* key_path, const char* machine, std::string* failure) {
  std::string path;
  if (!Resolve(key_path, machine, &path, failure))
    return 0;
  if (IsRootPath(path))
    return 1;
  return ChangeStore(path, failure, [&](RegistryStore* store, bool* changed) {
    *changed = AddRegistryKey(store, path);
    return true;
  });
}

int RegistryDeleteKeyTree(const char* key_path, const char* machine, std::string* failure) {
  std::string path;
  if (!Resolve(key_path, machine, &path, failure))
    return 0;
  if (IsRootPath(path))  // never a whole root
    return Fail(failure, path + ": a root key cannot be removed");
  return ChangeStore(path, failure, [&](RegistryStore* store, bool* changed) {
    *changed = RemoveRegistryKeyTree(store, path);
    return true;
  });
}

int RegistrySetValue(const char* key_path, const char* value_name, const char* value_text,
                     uint32_t type, const char* machine, std::string* failure) {
  std::string path, bytes;
  if (!Resolve(key_path, machine, &path, failure))
    return 0;
  if (!EncodeRegistryValue(value_text, type, &bytes))
    return Fail(failure, "value type " + std::to_string(type) + " is not supported");
  if (!StorableName(value_name ? value_name : ""))
    return Fail(failure, "the value name holds a control character");
  return ChangeStore(path, failure, [&](RegistryStore* store, bool* changed) {
    if (IsRootPath(path))
      *changed = AddRegistryKey(store, path);
    RegistryKey* key = FindRegistryKey(store, path);
    if (!key)
      return false;
    PutRegistryValue(key, value_name ? value_name : "", type, bytes);
    *changed = true;
    return true;
  });
}

int QueryRegistryValue(const char* key_path, const char* value_name, uint32_t* type,
                       std::string* data) {
  std::string path;
  if (!Resolve(key_path, ".", &path, nullptr))
    return 0;
  RegistryStore store;
  RegistryKey* key = nullptr;
  for (const std::string& file : {RegistryStorePath(), SystemRegistryStorePath()}) {
    if (!key && !file.empty() && LoadStore(file, &store, nullptr))
      key = FindRegistryKey(&store, path);
  }
  if (!key)
    return 0;
  for (const RegistryValue& value : key->values) {
    if (strcasecmp(value.name.c_str(), value_name ? value_name : "") == 0) {
      *type = value.type;
      *data = value.data;
      return 1;
    }
  }
  return 0;
}

bool RegistryKeyIsOnlyInstalled(const char* key_path) {
  return !StoreHoldsKey(RegistryStorePath(), key_path);
}
