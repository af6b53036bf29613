#ifndef ARKIVA_APP_ARCHIVE_XZ_H_
#define ARKIVA_APP_ARCHIVE_XZ_H_

#include <stdint.h>

#include <string>

#include "app/archive/item.h"
#include "host/process/subprocess.h"

// The plan

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
  int threads = 1;                // 1: xz's single-threaded mode, one block
  uint64_t block_bytes = 0;       // threads > 1: the size of each block
  uint64_t dictionary_bytes = 0;  // 8 MiB (preset 6) or 16 MiB (preset 7)
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

// Progress

// How far a running xz -v has come, in its own words. It knows best: with
// threads it reads its input whole blocks ahead of what it has compressed,
// so the input's position says little.

// Asks xz for a progress line. POSIX: SIGUSR1, which makes xz write one to
// standard error even into a pipe, sent only once xz has its handler in
// place (before that the signal would end it). Windows: nothing to do, as xz
// keeps its console's line up to date by itself.
void AskXzProgress(Subprocess* xz);

// The fraction of its input xz has compressed, from the last of its progress
// lines in `said` ("  42.1 %  10.5 MiB / 13.7 MiB = 0.764 ..."), or -1 when
// there is none.
double XzProgressFraction(const std::string& said);

// A running xz's progress, as a step's display measures it: the fraction of
// its last progress line (or -1), and a request for the next.
double MeasureXz(Subprocess* xz);

// The output check

// What xz left, read back.
struct XzFileCheck {
  enum Result {
    kWhole,       // a whole .xz file
    kNotWhole,    // read, and not a whole .xz file (or not there)
    kUnreadable,  // the system would not let it be read; `reason` says why
  } result;
  std::string reason{};
  uint64_t uncompressed = 0;  // kWhole: the bytes the index says it holds
};

// Whether `path` is a whole .xz file as one xz run writes it: a stream whose
// header, index and footer agree with each other and with the file's
// length. A file that xz was writing when it was ended fails, whatever exit
// code the end reported (a process ended with TerminateProcess(h, 0), as
// taskkill does, reports 0). liblzma reads the three parts; an index larger
// than any real archive has (what a footer claims is not trusted) makes the
// file not whole, unread.
XzFileCheck CheckXzFile(const std::string& path);

// xz's own words in what it wrote to standard error (or its console): the
// lines that begin with its name, "xz: "; the rest are its progress lines,
// which say nothing of why it failed.
std::string XzMessages(const std::string& said);

// The step

// What xz compresses, beside the item: "Name.tar" into "Name.tar.xz", or a
// file "notes.bin" into "notes.bin.xz".
struct XzStep {
  std::string input_name;
  std::string output_name;
  double from = 0;              // where xz's share of the item's progress begins, 0 to 1
  int64_t expected_bytes = -1;  // what the input must hold; -1: any
};

// xz, shown, on every core unless the user says otherwise, which replaces
// the input with the output. The output must not be there yet; the step
// counts as done only when xz exited 0 (or warned) and left a whole .xz
// file, synced to the disk, holding `expected_bytes`. A part of the output
// that this xz left is removed while the input is still there; once xz has
// removed the input, the output is the only copy and stays.
ArchiveStatus RunXz(const ItemRun& run, const XzStep& step);

#endif  // ARKIVA_APP_ARCHIVE_XZ_H_
