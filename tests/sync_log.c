/* Preloaded into arkiva (LD_PRELOAD): logs every fsync, as "pid path", to
 * the file ARKIVA_SYNC_LOG names, then syncs. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int fsync(int fd) {
  static int (*real_fsync)(int);
  if (!real_fsync)
    real_fsync = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  const char* log = getenv("ARKIVA_SYNC_LOG");
  char link[64], path[PATH_MAX];
  snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, path, sizeof(path) - 1);
  if (log && length > 0) {
    path[length] = 0;
    FILE* f = fopen(log, "a");
    if (f) {
      fprintf(f, "%d %s\n", (int)getpid(), path);
      fclose(f);
    }
  }
  return real_fsync(fd);
}
