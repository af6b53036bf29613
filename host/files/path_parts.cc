#include "host/files/path_parts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#endif

#include "catalogues/translation.h"
#ifdef _WIN32
#include "host/wide_text.h"
#endif

std::string DirectoryPart(const char* path) {
  if (!path)
    return std::string();
  const char* start = path[0] == '"' ? path + 1 : path;
  const char* end = start;
  for (const char* p = path; *p && *p != '|'; ++p) {
    if (IsPathSeparator(*p))
      end = p + 1;
  }
  return std::string(start, end);
}

std::string FileNamePart(const char* path) {
  if (!path)
    return std::string();
  const char* start = path[0] == '"' ? path + 1 : path;
  for (const char* p = path; *p; ++p) {
    if (IsPathSeparator(*p))
      start = p + 1;
  }
  const char* end = start;
  while (*end && *end != '"')
    ++end;
  return std::string(start, end);
}

ItemPath SplitItemPath(const std::string& path, bool posix_names) {
  auto separates = [posix_names](char c) { return posix_names ? c == '/' : IsPathSeparator(c); };
  std::string trimmed = path;
  while (!trimmed.empty() && separates(trimmed.back()))
    trimmed.pop_back();
  if (posix_names) {
    size_t last = trimmed.rfind('/');
    if (last == std::string::npos)
      return {"", trimmed};
    return {trimmed.substr(0, last + 1), trimmed.substr(last + 1)};
  }
  ItemPath item{DirectoryPart(trimmed.c_str()), FileNamePart(trimmed.c_str())};
  // "C:" is what is left of a drive's root.
  if (item.folder.empty() && item.name.size() == 2 && item.name[1] == ':')
    item.name.clear();
  return item;
}

bool IsAbsolutePath(const std::string& path, bool posix_names) {
  if (posix_names)
    return !path.empty() && path[0] == '/';
  bool drive = path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2]);
  return drive || path.compare(0, 2, "\\\\") == 0;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

#ifdef _WIN32
std::string CheckPathLength(const std::string& path) {
  const int kLongest = MAX_PATH - 1;
  int length = static_cast<int>(Wide(path).size());
  if (length <= kLongest)
    return "";
  return Translated("%s characters long, and Windows programs accept at most %s",
                    {std::to_string(length), std::to_string(kLongest)});
}
#else
std::string CheckPathLength(const std::string& path) {
  const size_t kLongest = PATH_MAX - 1;
  if (path.size() <= kLongest)
    return "";
  return Translated("%s bytes long, and the system accepts at most %s",
                    {std::to_string(path.size()), std::to_string(kLongest)});
}
#endif
