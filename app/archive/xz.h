#ifndef ARKIVA_APP_ARCHIVE_XZ_H_
#define ARKIVA_APP_ARCHIVE_XZ_H_

#include <stdint.h>

#include <string>

#include "app/archive/item.h"
#include "host/process/subprocess.h"

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
  bool input_is_tar = false;    // the run's Name.tar, whose members xz's plan judges
};

// xz, shown, on every core unless the user says otherwise, which replaces
// the input with the output. The output must not be there yet; the step
// counts as done only when xz exited 0 (or warned) and left a whole .xz
// file, synced to the disk, holding `expected_bytes`. A part of the output
// that this xz left is removed while the input is still there; once xz has
// removed the input, the output is the only copy and stays.
ArchiveStatus RunXz(const ItemRun& run, const XzStep& step);

#endif  // ARKIVA_APP_ARCHIVE_XZ_H_
