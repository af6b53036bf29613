#ifndef ARKIVA_HOST_ENVIRONMENT_H_
#define ARKIVA_HOST_ENVIRONMENT_H_

#include <stdint.h>

#include <string>

// This process's environment, which arkiva reads and never changes (each
// child gets its own additions, host/subprocess.h), and the machine facts
// that sizing xz's work needs.

// Whether `name` is set, even to the empty text; its value in `value`.
bool ReadEnvironment(const char* name, std::string* value);

// The machine's physical memory in bytes; 0 when it cannot be read.
uint64_t PhysicalMemory();

// The processors this process may run on; at least 1.
int ProcessorCount();

// How many runs of this program are in progress on the machine, this one
// included: processes with this program's file name (POSIX: its command
// name) that the caller may see.
int CountProgramRuns();

#endif  // ARKIVA_HOST_ENVIRONMENT_H_
