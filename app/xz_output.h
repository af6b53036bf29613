#ifndef ARKIVA_APP_XZ_OUTPUT_H_
#define ARKIVA_APP_XZ_OUTPUT_H_

#include <stdint.h>

#include <string>

// What xz left, read back.
struct XzFileCheck {
  enum Result {
    kWhole,       // a whole .xz file
    kNotWhole,    // read, and not a whole .xz file (or not there)
    kUnreadable,  // the system would not let it be read; `reason` says why
  } result;
  std::string reason;
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

#endif  // ARKIVA_APP_XZ_OUTPUT_H_
