#ifndef ARKIVA_HOST_FILES_ITEM_LOCK_H_
#define ARKIVA_HOST_FILES_ITEM_LOCK_H_

#include <stdint.h>

#include <string>

// One run at a time for each name in a folder. A lock guards one name: a run
// takes one for its item and one for each name it will write (Name.tar,
// Name.tar.xz, name.xz), from before its first look at the item until it has
// finished or cleaned up. So a second start on the item or on one of those
// outputs (the entry chosen twice) refuses at once and touches nothing, and
// every output a run finds missing at its start stays its own. The system
// releases the lock when the process ends, however it ends. Nothing is written
// beside the user's files:
// - POSIX: flock on a file in a private runtime folder ($XDG_RUNTIME_DIR/
//   arkiva, else /tmp/arkiva-UID, mode 0700), removed again on release;
// - Windows: a file in the user's %LOCALAPPDATA%\arkiva\locks, held open
//   without sharing and deleted on close.
// Both are named by a hash of the item's path with its folder resolved
// (POSIX realpath; Windows the folder's final path, upper case), so that
// two spellings of one folder meet.
class ItemLock {
 public:
  enum State {
    kHeld,    // this run may archive the item
    kBusy,    // another run holds it
    kFailed,  // no lock could be made; `Reason` says why
  };

  // `folder` ends with a separator, or is empty for the current folder.
  ItemLock(const std::string& folder, const std::string& name);
  ~ItemLock();
  ItemLock(const ItemLock&) = delete;
  ItemLock& operator=(const ItemLock&) = delete;

  State Result() const { return state_; }
  const std::string& Reason() const { return reason_; }

 private:
  State state_ = kFailed;
  std::string reason_;
#ifdef _WIN32
  void* lock_ = nullptr;
#else
  int folder_ = -1;
  int file_ = -1;
  std::string file_name_;
#endif
};

// The lock's name for an item's resolved path: "arkiva-" and 16 hex digits
// of its 64-bit FNV-1a hash.
std::string ItemLockName(const std::string& resolved_path);

#endif  // ARKIVA_HOST_FILES_ITEM_LOCK_H_
