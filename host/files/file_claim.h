#ifndef ARKIVA_HOST_FILES_FILE_CLAIM_H_
#define ARKIVA_HOST_FILES_FILE_CLAIM_H_

#include <stdint.h>

#include <string>

#include "host/files/file_identity.h"

// The files a run makes beside its item: claimed as new, held open while
// they are written, synced before the run reports them, and removed only by
// the run that made them.

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

// Output names are claimed before anything runs: of two runs that want one
// name, exactly one gets it, and a file that is already there is never
// replaced. The file system decides (CREATE_NEW on Windows, O_CREAT|O_EXCL
// on POSIX), so runs in separate processes cannot both win.

struct FileClaim {
  enum Result { kClaimed, kExists, kFailed } result;
  std::string reason{};  // kFailed: the system's words for why, e.g. "Access is denied."
  HeldFile file{};       // kClaimed: the new file, open for writing
};

// Creates `path` as a new empty file and holds it open for writing, so
// that what the run writes goes into this file and never, through a name
// swapped meanwhile, into another's (others may only read it while it is
// held, on Windows). With `like`, the
// item the file is made from, it is no more open than that item: POSIX
// gives it no group or other permission the item lacks (a private 0700
// folder makes a 0600 archive, which xz passes on to Name.tar.xz);
// Windows gives every new file its folder's inherited permissions.
FileClaim ClaimNewFile(const std::string& path, const std::string& like = "");

// Removes a file this run claimed; true when it is gone.
bool RemoveClaimedFile(const std::string& path);

// A file holding `text` that no name reaches, open for reading from its
// start: what a child reads as its standard input (the names of a
// selection, which a command line could not hold). POSIX: made in the
// temporary folder ($TMPDIR, else /tmp) with no name at all (O_TMPFILE), or
// unlinked at once; Windows: in the user's temporary folder, deleted when
// closed. Not open, with the system's words in *reason, when it could not be
// made.
HeldFile TemporaryFile(const std::string& text, std::string* reason);

// Makes the file `path` lasting, its bytes and its name, before arkiva tells
// the user it is there: a power loss a moment later must not take it (a
// file system that delays allocation, as ext4 and NTFS do, may otherwise
// hold it in memory for seconds). POSIX: fsync of the file, then of its
// folder; Windows: FlushFileBuffers (NTFS journals the name). Empty on
// success, else the system's words for why not.
std::string SyncFile(const std::string& path);

#endif  // ARKIVA_HOST_FILES_FILE_CLAIM_H_
