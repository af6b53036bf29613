#include "host/process/environment.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

int ProcessorCount() {
  // What xz -T0 counts too: the processors of this process's affinity mask.
  DWORD_PTR process_mask = 0, system_mask = 0;
  int count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
    for (; process_mask; process_mask &= process_mask - 1)
      ++count;
  }
  return count > 0 ? count : 1;
}

bool ReadEnvironment(const char* name, std::string* value) {
  // An empty value and an absent one both read as 0 characters; only the
  // error code tells them apart.
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableA(name, NULL, 0);
  if (size == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
    return false;
  value->clear();
  if (size == 0)
    return true;
  std::vector<char> text(size);
  DWORD got = GetEnvironmentVariableA(name, text.data(), size);
  value->assign(text.data(), got < size ? got : 0);
  return true;
}

uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

int CountProgramRuns() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return 1;
  const char* mine = path + n;
  while (mine > path && mine[-1] != '\\' && mine[-1] != '/')
    --mine;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return 1;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof(entry);
  int runs = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (lstrcmpiA(entry.szExeFile, mine) == 0)
      ++runs;
  CloseHandle(snapshot);
  return runs > 0 ? runs : 1;
}
