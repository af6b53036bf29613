#include "registry/registry.h"

#include <string.h>
#include <windows.h>

#include "host/system_error.h"

namespace {

// The memory heap for explicitly allocated blocks: the binary value buffers.
HANDLE MemoryHeap() {
  static HANDLE heap = HeapCreate(0, 4096, 0);
  return heap;
}

bool Fail(std::string* failure, LONG status) {
  if (failure)
    *failure = SystemErrorText(status);
  return false;
}

// The parse and the base key of one operation. A remote connection is
// closed when the operation ends.
class Target {
 public:
  Target(const char* key_path, const char* machine, std::string* failure) : failure_(failure) {
    if (!ParseRegistryKeyPath(key_path)) {
      Fail(failure, ERROR_BAD_PATHNAME);
      return;
    }
    HKEY root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(RegistryRoot));
    if (strcmp(machine ? machine : "", ".") == 0) {
      base_ = root;
    } else {
      LONG status = RegConnectRegistryA(machine ? machine : "", root, &remote_);
      if (status != ERROR_SUCCESS) {
        remote_ = NULL;
        Fail(failure, status);
        return;
      }
      base_ = remote_;
    }
  }
  ~Target() {
    if (remote_)
      RegCloseKey(remote_);
  }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  // The opened or created key, or null after recording the failure.
  HKEY Open(bool create) {
    if (!base_)
      return NULL;
    HKEY key = NULL;
    LONG status = create ? RegCreateKeyA(base_, RegistrySubKey.c_str(), &key)
                         : RegOpenKeyA(base_, RegistrySubKey.c_str(), &key);
    if (status != ERROR_SUCCESS) {
      Fail(failure_, status);
      return NULL;
    }
    return key;
  }
  HKEY base() const { return base_; }

  // An empty subkey hands back the base key itself: never close that twice.
  void Close(HKEY key) {
    if (key != base_)
      RegCloseKey(key);
  }

 private:
  std::string* failure_;
  HKEY base_ = NULL;
  HKEY remote_ = NULL;
};

int OpenOrCreate(const char* key_path, const char* machine, bool create, std::string* failure) {
  Target target(key_path, machine, failure);
  HKEY key = target.Open(create);
  if (!key)
    return 0;
  target.Close(key);
  return 1;
}

}  // namespace

std::string UpperCaseRootName(std::string text) {
  if (!text.empty())
    CharUpperA(&text[0]);
  return text;
}

int RegistryKeyExists(const char* key_path, const char* machine, std::string* failure) {
  return OpenOrCreate(key_path, machine, false, failure);
}

int RegistryReadText(const char* key_path, const char* value_name, const char* machine,
                     std::string* text, std::string* failure) {
  Target target(key_path, machine, failure);
  HKEY key = target.Open(false);
  if (!key)
    return 0;
  char data[4096];
  DWORD type = 0, size = sizeof(data);
  LONG status =
      RegQueryValueExA(key, value_name, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
  target.Close(key);
  if (status != ERROR_SUCCESS)
    return Fail(failure, status);
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return Fail(failure, ERROR_INVALID_DATATYPE);
  text->assign(data, size);
  while (!text->empty() && text->back() == '\0')
    text->pop_back();
  return 1;
}

int RegistryCreateKey(const char* key_path, const char* machine, std::string* failure) {
  return OpenOrCreate(key_path, machine, true, failure);
}

int RegistryDeleteKeyTree(const char* key_path, const char* machine, std::string* failure) {
  Target target(key_path, machine, failure);
  if (!target.base())
    return 0;
  if (RegistrySubKey.empty())  // never a whole root
    return Fail(failure, ERROR_ACCESS_DENIED);
  LONG status = RegDeleteTreeA(target.base(), RegistrySubKey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    return Fail(failure, status);
  return 1;
}

int RegistrySetValue(const char* key_path, const char* value_name, const char* value_text,
                     uint32_t type, const char* machine, std::string* failure) {
  if (!value_text)
    value_text = "";
  Target target(key_path, machine, failure);
  HKEY key = target.Open(false);
  if (!key)
    return 0;
  LONG status = ERROR_INVALID_PARAMETER;  // a type other than 1 to 4 writes nothing
  if (type == REG_BINARY) {
    DWORD count = lstrlenA(value_text) / 2;
    BYTE* buffer =
        count ? static_cast<BYTE*>(HeapAlloc(MemoryHeap(), HEAP_ZERO_MEMORY, count)) : NULL;
    if (buffer || !count) {
      ReadHexPairs(value_text, buffer, count);
      status = RegSetValueExA(key, value_name, 0, type, buffer, count);
    } else {
      status = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (buffer)
      HeapFree(MemoryHeap(), 0, buffer);
  } else {
    std::string bytes;
    if (EncodeRegistryValue(value_text, type, &bytes))
      status = RegSetValueExA(key, value_name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
  }
  target.Close(key);
  if (status != ERROR_SUCCESS)
    return Fail(failure, status);
  return 1;
}

bool RegistryKeyIsOnlyInstalled(const char*) {
  return false;
}
