/* Preloaded into arkiva by the progress window's test: each folder walk
 * (fts_open) is logged to $ARKIVA_WALK_LOG, and each entry the walk reads
 * waits $ARKIVA_WALK_DELAY_US first, so that a walk of a few hundred files
 * takes as long as one of a large tree. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fts.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

typedef FTS* (*OpenFunction)(char* const*, int, int (*)(const FTSENT**, const FTSENT**));
typedef FTSENT* (*ReadFunction)(FTS*);

FTS* fts_open(char* const* paths, int options, int (*compare)(const FTSENT**, const FTSENT**)) {
  OpenFunction real = (OpenFunction)dlsym(RTLD_NEXT, "fts_open");
  const char* log = getenv("ARKIVA_WALK_LOG");
  FILE* file = log ? fopen(log, "a") : NULL;
  if (file) {
    fprintf(file, "%s\n", paths[0]);
    fclose(file);
  }
  return real(paths, options, compare);
}

FTSENT* fts_read(FTS* walk) {
  ReadFunction real = (ReadFunction)dlsym(RTLD_NEXT, "fts_read");
  const char* delay = getenv("ARKIVA_WALK_DELAY_US");
  if (delay)
    usleep((useconds_t)atoi(delay));
  return real(walk);
}
