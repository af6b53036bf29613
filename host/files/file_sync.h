#ifndef ARKIVA_HOST_FILES_FILE_SYNC_H_
#define ARKIVA_HOST_FILES_FILE_SYNC_H_

#include <string>

// Makes the file `path` lasting, its bytes and its name, before arkiva tells
// the user it is there: a power loss a moment later must not take it (a
// file system that delays allocation, as ext4 and NTFS do, may otherwise
// hold it in memory for seconds). POSIX: fsync of the file, then of its
// folder; Windows: FlushFileBuffers (NTFS journals the name). Empty on
// success, else the system's words for why not.
std::string SyncFile(const std::string& path);

#endif  // ARKIVA_HOST_FILES_FILE_SYNC_H_
