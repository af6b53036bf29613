#ifndef ARKIVA_APP_XZ_DEFAULTS_H_
#define ARKIVA_APP_XZ_DEFAULTS_H_

#include <stdint.h>

#include <string>

// xz compresses on one core unless told otherwise. It reads default options
// from XZ_DEFAULTS, so arkiva can ask for every core without touching the
// argument lines: the archive is a standard .xz file either way, holding
// exactly the same bytes.

// The options for a machine with `physical_memory` bytes while `runs` arkiva
// runs are in progress: every core (-T0), with a compression memory limit of
// half the memory shared among the runs, so that xz uses fewer threads
// rather than more memory. Never below what xz needs on one thread, so the
// limit never makes it shrink its dictionary: "-T0 --memlimit-compress=803MiB".
std::string MultiThreadedXzDefaults(uint64_t physical_memory, int runs);

// Sets XZ_DEFAULTS for the xz this run starts, unless the user has set it,
// even to nothing: that is how a user keeps xz's own behaviour.
void OfferXzDefaults();

#endif  // ARKIVA_APP_XZ_DEFAULTS_H_
