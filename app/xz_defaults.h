#ifndef ARKIVA_APP_XZ_DEFAULTS_H_
#define ARKIVA_APP_XZ_DEFAULTS_H_

#include <stdint.h>

#include <string>

#include "host/process/subprocess.h"

// xz before 5.6 (Debian 12's, and the Windows build's) compresses on one
// core unless told otherwise, and from 5.6 on with no memory limit of its
// own. It reads default options from XZ_DEFAULTS, so arkiva can ask for
// every core within a limit without touching the argument lines: the
// archive is a standard .xz file either way.

// The compression memory limit in MiB for a machine with `physical_memory`
// bytes while `runs` arkiva runs are in progress: half the memory shared
// among the runs, so that xz uses fewer threads rather than more memory.
// Never below what xz needs on one thread, so the limit never makes it
// shrink its dictionary.
uint64_t XzMemoryLimitMiB(uint64_t physical_memory, int runs);

// Every core (-T0) within that limit: "-T0 --memlimit-compress=803MiB".
std::string MultiThreadedXzDefaults(uint64_t physical_memory, int runs);

// How many threads xz -6 -T0 runs on `cores` within `limit_mib`, counting
// each thread at its largest (xz's own 24 MiB blocks); at least one.
int XzThreads(int cores, uint64_t limit_mib);

// The block size, in bytes, that keeps `threads` threads busy to the end on
// an input of `input_bytes`: several blocks a thread, never above xz's own
// choice (large inputs compress exactly as without it) and never below the
// dictionary. 0 where xz's own choice is that size, or one thread works alone.
uint64_t XzBlockSize(uint64_t input_bytes, int threads);

// The thread count that xz options as a user writes them in XZ_DEFAULTS or
// XZ_OPT ask for ("-T1", "-T 4", "--threads=0"), the last one; -1 for none.
// Nothing else in them is taken.
int UsersXzThreads(const std::string& options);

// What the xz that reads `input_bytes` gets on top of arkiva's environment:
// XZ_DEFAULTS of arkiva's own in place of the user's, and no XZ_OPT. Both
// would reach xz as options: -k keeps Name.tar beside the archive, --stdout
// sends the archive elsewhere, -9 under the memory limit quietly shrinks the
// dictionary. Of the user's settings only a thread count stays (XZ_OPT's
// over XZ_DEFAULTS', as xz reads them), which changes how fast, never what,
// xz makes: -T1 keeps xz to one core. Each xz of a selection gets what it
// would get alone.
ChildEnvironment XzEnvironment(uint64_t input_bytes);

#endif  // ARKIVA_APP_XZ_DEFAULTS_H_
