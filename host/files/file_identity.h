#ifndef ARKIVA_HOST_FILES_FILE_IDENTITY_H_
#define ARKIVA_HOST_FILES_FILE_IDENTITY_H_

#include <stdint.h>

#include <string>

// What tells one file from every other, also from a file made later in its
// place that the file system gives the same number (numbers are reused once
// a file is gone): its volume, its number there, and when it was made.
// POSIX: st_dev, st_ino and statx's birth time; Windows: the volume's serial
// number and the file index, which on NTFS carries the record's sequence
// number.
struct FileIdentity {
  uint64_t volume = 0, number = 0;
  int64_t birth = 0;  // in the system's units; 0 where the file system keeps none

  bool Known() const { return volume != 0 || number != 0; }
};

// The identity of the file `path` names; unknown when there is none.
FileIdentity QueryFileIdentity(const std::string& path);
// The identity of the file an open `handle` (a POSIX descriptor, a Windows
// HANDLE) reaches.
FileIdentity QueryHandleIdentity(intptr_t handle);

// Whether `now` is the file that was `recorded`. A birth time counts only
// where both have one.
bool SameFile(const FileIdentity& recorded, const FileIdentity& now);

// As text, "volume:number:birth" in hex, and back; false for anything else.
std::string FormatFileIdentity(const FileIdentity& identity);
bool ParseFileIdentity(const std::string& text, FileIdentity* identity);

#endif  // ARKIVA_HOST_FILES_FILE_IDENTITY_H_
