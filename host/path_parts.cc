#include "host/path_parts.h"

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
