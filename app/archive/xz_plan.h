#ifndef ARKIVA_APP_ARCHIVE_XZ_PLAN_H_
#define ARKIVA_APP_ARCHIVE_XZ_PLAN_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "host/process/subprocess.h"

// What compresses

// xz at its default effort sends every byte through its match finder and
// only then stores a chunk that did not shrink: on photos, videos and
// packages it spends four times the time of its fastest setting for the
// same archive. So its input is judged first, by samples: a member of
// Name.tar (or a file) whose sampled bytes are as good as random (about 8
// bits a byte; JPEG 7.98, text about 5) is not worth the effort.

// The bits a byte of `bytes` holds, by the counts of its byte values: 0 to 8.
double ByteEntropy(const std::string& bytes);

// A stretch of xz's input, and whether it is worth the effort.
struct InputRegion {
  uint64_t bytes;
  bool compresses;
};

// The regions of the `size` bytes of `path`, a tar archive when `tar` (its
// members are found by their headers) and else one file, in order; their
// bytes add up to `size`. A member is sampled in a few evenly spaced 64 KiB
// windows, never read whole; one below 64 KiB is judged whole, as the walk
// reads it between the headers, one below 4 KiB and every header count as
// compressing, as do members of the same size and sampled bytes, all of
// them (copies: xz's dictionary would find them). What compresses in less than
// 64 KiB beside what does not (headers, the closing blocks, a photo's small
// sidecar) goes with it; incompressible runs shorter than 4 MiB are not
// worth a block of their own, and join their neighbours.
std::vector<InputRegion> JudgeInput(const std::string& path, uint64_t size, bool tar);

// The least worth a block at the fast setting of its own.
const uint64_t kSmallestFastRegion = 4 << 20;

// `regions` with incompressible runs below `least` bytes joined to what
// compresses around them.
std::vector<InputRegion> JoinSmallRuns(const std::vector<InputRegion>& regions, uint64_t least);

// The plan

// xz before 5.6 (Debian 12's) compresses on one
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
  int threads = 1;                // 1: xz's single-threaded mode, one block
  uint64_t block_bytes = 0;       // threads > 1: the size of each block
  uint64_t dictionary_bytes = 0;  // 8 MiB (preset 6) or 16 MiB (preset 7)
  // What does not compress, at xz's fastest setting (kFastLzma2):
  bool all_fast = false;  // the whole input (any xz)
  std::string regions{};  // xz 5.6.2 on: a --block-list, chain 1 the fast one
};

// The fast setting: as fast as xz goes, and on incompressible data as small
// as its default (10 MB of random bytes: 5.7 s at -6, 1.0 s so, one core).
// xz 5.2.5 refuses hc3 with a nice below 3.
extern const char kFastLzma2[];

// The xz version that --robot --version reports (XZ_VERSION=50040012 is
// 5.4.1), the lower of the program's and its library's; 0 when `said`
// holds none.
uint32_t XzVersion(const std::string& said);

// xz 5.6.2, the first to take a filter chain a block (5.6.0 and 5.6.1 were
// withdrawn).
const uint32_t kXzChainsVersion = 50060022;

// `plan` with what does not compress at the fast setting: with
// `xz_version` from 5.6.2 on, the incompressible regions' blocks
// (a --block-list of at most 64 regions, smaller ones merged into their
// neighbours); before, the whole input, once nearly all of it (99 %) is
// incompressible, and else nothing.
XzPlan PlanFastRegions(const XzPlan& plan, const std::vector<InputRegion>& regions,
                       uint32_t xz_version);

// The bytes of `regions` that do not compress.
uint64_t IncompressibleBytes(const std::vector<InputRegion>& regions);

// The plan for `input_bytes` on `threads` threads at most (the cores, or
// the user's count) within `limit_mib`: a block of at least 8 MiB a thread,
// up to four a thread while each is at least 16 MiB, none above 64 MiB;
// within the limit a smaller dictionary first, then fewer threads.
XzPlan PlanXz(uint64_t input_bytes, int threads, uint64_t limit_mib);

// What xz 5.4 says (xz -vv) that the plan needs, in MiB.
uint64_t XzPlanMiB(const XzPlan& plan);

// The plan as xz options, within the limit:
// "-T2 --memlimit-compress=12288MiB --lzma2=preset=6,dict=32MiB --block-size=17MiB",
// then --filters1 and --block-list for its regions.
std::string XzDefaults(const XzPlan& plan, uint64_t limit_mib);

// The thread count that xz options as a user writes them in XZ_DEFAULTS or
// XZ_OPT ask for ("-T1", "-T 4", "--threads=0"), the last one; -1 for none.
// Nothing else in them is taken.
int UsersXzThreads(const std::string& options);

// What the xz that reads the input gets on top of arkiva's environment:
// XZ_DEFAULTS of arkiva's own in place of the user's, and no XZ_OPT. Both
// would reach xz as options: -k keeps Name.tar beside the archive, --stdout
// sends the archive elsewhere, -9 under the memory limit quietly shrinks the
// dictionary. Of the user's settings only a thread count stays (XZ_OPT's
// over XZ_DEFAULTS', as xz reads them): -T1 keeps xz to one core (and one
// block), -T0 is every core. Each xz of a selection gets what it would get
// alone.
// `input_bytes` of the input judged, and `xz_version`: 0 where it matters
// not, as nothing incompressible is large enough.
ChildEnvironment XzEnvironment(uint64_t input_bytes, const std::vector<InputRegion>& regions,
                               uint32_t xz_version);

#endif  // ARKIVA_APP_ARCHIVE_XZ_PLAN_H_
