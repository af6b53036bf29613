#ifndef ARKIVA_APP_XZ_DEFAULTS_H_
#define ARKIVA_APP_XZ_DEFAULTS_H_

#include <stdint.h>

#include <string>

#include "host/process/subprocess.h"

// xz before 5.6 (Debian 12's, and the Windows build's) compresses on one
// core unless told otherwise, from 5.6 on with no memory limit of its own,
// and in blocks of three dictionaries whatever the input's size. It reads
// default options from XZ_DEFAULTS, so arkiva can ask for every core, the
// blocks and the dictionary without touching the argument lines: the
// archive is a standard .xz file either way.

// The compression memory limit in MiB for a machine with `physical_memory`
// bytes while `runs` arkiva runs are in progress: half the memory shared
// among the runs. Never below what xz needs on one thread at its default
// level.
uint64_t XzMemoryLimitMiB(uint64_t physical_memory, int runs);

// How xz compresses one input. Every block starts with an empty dictionary,
// so whatever repeats across blocks is compressed again in each: few
// blocks, as large as the dictionary at least, but enough of them that
// every thread is busy to the end, and a dictionary that holds a whole
// block where that pays (up to preset 7's 16 MiB). Everything else is
// preset 6's.
struct XzPlan {
  int threads;                // 1: xz's single-threaded mode, one block
  uint64_t block_bytes;       // threads > 1: the size of each block
  uint64_t dictionary_bytes;  // 8 MiB (preset 6) or 16 MiB (preset 7)
};

// The plan for `input_bytes` on `threads` threads at most (the cores, or
// the user's count) within `limit_mib`: a block of at least 8 MiB a thread,
// up to four a thread while each is at least 16 MiB, none above 64 MiB;
// within the limit a smaller dictionary first, then fewer threads.
XzPlan PlanXz(uint64_t input_bytes, int threads, uint64_t limit_mib);

// What xz 5.4 says (xz -vv) that the plan needs, in MiB.
uint64_t XzPlanMiB(const XzPlan& plan);

// The plan as xz options, within the limit:
// "-T2 --memlimit-compress=12288MiB --lzma2=preset=6,dict=32MiB --block-size=17MiB".
std::string XzDefaults(const XzPlan& plan, uint64_t limit_mib);

// The thread count that xz options as a user writes them in XZ_DEFAULTS or
// XZ_OPT ask for ("-T1", "-T 4", "--threads=0"), the last one; -1 for none.
// Nothing else in them is taken.
int UsersXzThreads(const std::string& options);

// What the xz that reads `input_bytes` gets on top of arkiva's environment:
// XZ_DEFAULTS of arkiva's own in place of the user's, and no XZ_OPT. Both
// would reach xz as options: -k keeps Name.tar beside the archive, --stdout
// sends the archive elsewhere, -9 under the memory limit quietly shrinks the
// dictionary. Of the user's settings only a thread count stays (XZ_OPT's
// over XZ_DEFAULTS', as xz reads them): -T1 keeps xz to one core (and one
// block), -T0 is every core. Each xz of a selection gets what it would get
// alone.
ChildEnvironment XzEnvironment(uint64_t input_bytes);

#endif  // ARKIVA_APP_XZ_DEFAULTS_H_
