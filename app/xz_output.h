#ifndef ARKIVA_APP_XZ_OUTPUT_H_
#define ARKIVA_APP_XZ_OUTPUT_H_

#include <string>

// Whether `path` is a whole .xz file as one xz run writes it: a stream whose
// header, index and footer agree with each other and with the file's
// length. A file that xz was writing when it was ended fails, whatever exit
// code the end reported (a process ended with TerminateProcess(h, 0), as
// taskkill does, reports 0). liblzma reads the three parts.
bool IsWholeXzFile(const std::string& path);

#endif  // ARKIVA_APP_XZ_OUTPUT_H_
