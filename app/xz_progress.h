#ifndef ARKIVA_APP_XZ_PROGRESS_H_
#define ARKIVA_APP_XZ_PROGRESS_H_

#include <string>

#include "host/process/subprocess.h"

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

#endif  // ARKIVA_APP_XZ_PROGRESS_H_
