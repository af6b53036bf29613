#ifndef ARKIVA_HOST_FILES_HELD_FILE_H_
#define ARKIVA_HOST_FILES_HELD_FILE_H_

#include <stdint.h>

#include <string>

#include "host/files/file_identity.h"

// A file this process holds open, closed when it goes: a POSIX descriptor
// or a Windows HANDLE. What is done through it reaches that file whatever
// its name comes to name meanwhile, which is why a run writes its archive
// through one and reopens no name another user could swap.
class HeldFile {
 public:
  HeldFile() = default;
  explicit HeldFile(intptr_t handle) : handle_(handle) {}
  ~HeldFile() { Close(); }
  HeldFile(HeldFile&& other) : handle_(other.handle_) { other.handle_ = kNone; }
  HeldFile& operator=(HeldFile&& other);
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool IsOpen() const { return handle_ != kNone; }
  intptr_t Handle() const { return handle_; }
  void Close();

  // What the file holds now, in bytes; -1 when it cannot be read.
  int64_t Size() const;
  // Up to `bytes` of what it holds from `offset` on; "" when they cannot be
  // read.
  std::string ReadAt(int64_t offset, size_t bytes) const;
  // Which file it is; unknown when closed.
  FileIdentity Identity() const;

  static const intptr_t kNone = -1;  // also Windows' INVALID_HANDLE_VALUE

 private:
  intptr_t handle_ = kNone;
};

#endif  // ARKIVA_HOST_FILES_HELD_FILE_H_
