#ifndef ARKIVA_HOST_PROCESS_ENVIRONMENT_H_
#define ARKIVA_HOST_PROCESS_ENVIRONMENT_H_

#include <stdint.h>

#include <string>

#include <vector>

// This process's environment, which arkiva reads (each child gets its own
// additions, host/process/subprocess.h), and the machine facts that sizing
// xz's work needs. The one change it makes is Windows' program search, once
// at start-up (InitSubprocesses).

// Whether `name` is set, even to the empty text; its value in `value`.
bool ReadEnvironment(const char* name, std::string* value);

// An environment entry's name: up to its first '=' after the first
// character, as Windows' "=C:=C:\dir" entries keep a drive's current folder.
std::string EnvironmentName(const std::string& entry);

// `current` ("NAME=value" each) with `overrides` added, each in place of the
// entries of its name, as `same_name` compares names (Windows ignores case).
// An override without '=' ("NAME") only takes the entries of its name away.
std::vector<std::string> MergeEnvironment(const std::vector<std::string>& current,
                                          const std::vector<std::string>& overrides,
                                          bool (*same_name)(const std::string&,
                                                            const std::string&));

// The machine's physical memory in bytes; 0 when it cannot be read.
uint64_t PhysicalMemory();

// The processors this process may run on; at least 1.
int ProcessorCount();

// How many runs of this program are in progress on the machine, this one
// included: processes with this program's file name (POSIX: its command
// name) that the caller may see.
int CountProgramRuns();

#endif  // ARKIVA_HOST_PROCESS_ENVIRONMENT_H_
