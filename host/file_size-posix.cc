#include "host/file_size.h"

#include <fts.h>
#include <sys/stat.h>

#include <string>

#include "host/path_parts.h"

int64_t QueryFileSize(const char* path) {
  if (!path || !*path)
    return kSizeNothing;
  std::string copy(path);
  while (!copy.empty() && IsPathSeparator(copy.back()))
    copy.pop_back();
  struct stat st;
  if (copy.empty() || stat(copy.c_str(), &st) != 0)
    return kSizeNothing;
  if (S_ISDIR(st.st_mode))
    return kSizeFolder;
  if (S_ISREG(st.st_mode))
    return static_cast<int64_t>(st.st_size);
  return kSizeNothing;
}

int64_t GrowingFileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

uint64_t SumFolderFileSizes(const std::string& folder) {
  char* paths[] = {const_cast<char*>(folder.c_str()), nullptr};
  FTS* walk = fts_open(paths, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
  if (!walk)
    return 0;
  uint64_t total = 0;
  while (FTSENT* entry = fts_read(walk))
    if (entry->fts_info == FTS_F)
      total += static_cast<uint64_t>(entry->fts_statp->st_size);
  fts_close(walk);
  return total;
}
