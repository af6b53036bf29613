#ifndef ARKIVA_RUN_RECORD_RUN_RECORD_H_
#define ARKIVA_RUN_RECORD_RUN_RECORD_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "host/files/file_identity.h"

// A run that dies (kill -9, a crash, a session that ends it, a power loss)
// cannot clean up after itself: a Name.tar, a part of Name.tar.xz that looks
// like an archive, and the next run refuses to replace either. So a run
// records, before it writes anything beside its item, what it will write and
// how to know those files again, in a lasting per-user place
// ($XDG_STATE_HOME/arkiva, by default ~/.local/state/arkiva; Windows
// %LOCALAPPDATA%\arkiva), synced. A run that ends while it lives, however it
// ends, removes its record; one that outlives its run tells of a dead run,
// and every start of arkiva clears what such runs made.

// One name a run writes beside its item.
struct RunOutput {
  std::string name;       // "Big.tar", "Big.tar.xz", "notes.bin.xz"
  bool archive;           // xz's output, the run's result
  FileIdentity identity;  // known once the run has seen the file
};

// What a record holds.
struct RecordedRun {
  std::string folder;  // the item's folder, ending with a separator
  std::string name;    // the item
  int64_t started;     // seconds since the epoch
  std::vector<RunOutput> outputs{};
  // A run that made one archive of several items of the folder: `name` is
  // the archive's, not an item's, and the items stay whatever becomes of
  // the run (tar reads them; xz removes only Name.tar). Recorded as a line
  // "selection" before the outputs, which an older arkiva cannot read and
  // so leaves alone.
  bool selection = false;
};

// The names a run on the item `name` writes beside it, the archive last: a
// folder's "Name.tar" and "Name.tar.xz", a file's "name.xz". A record that
// names anything else is no run's.
std::vector<std::string> RunOutputNames(const std::string& name, bool folder);

// The record's text, one field a line, names escaped; and back (false for
// anything else, a record cut short included).
std::string FormatRecordedRun(const RecordedRun& run);
bool ParseRecordedRun(const std::string& text, RecordedRun* run);

// This process's record of one run, owned from its writing to its removal:
// made (and synced) when constructed, removed when destroyed, which a run
// does before it lets go of its locks. A record that cannot be written
// leaves the run without one: the run goes on, as it always did.
class RunRecord {
 public:
  explicit RunRecord(const RecordedRun& run);
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // Records the identity of the output `name`, once it exists; once only.
  void NoteOutput(const std::string& name, const FileIdentity& identity);

 private:
  RecordedRun run_;
  std::string path_;  // "" without a record
};

// How an output of a dead run stands now, as a start finds it.
struct FoundOutput {
  bool exists = false;
  bool same_file = false;      // its identity is the one recorded
  bool written_since = false;  // modified since the run began
};

enum class LeftoverFate {
  kAbsent,   // nothing there
  kRemove,   // the dead run made it, and the item is still there
  kKeep,     // the dead run made it, but its item is gone: it is the only copy
  kNotOurs,  // not provably the dead run's (the user's own, or the run's
             // on a file system that gave it a new identity): kept, and told
};

// What becomes of one output: only what carries the identity the dead run
// recorded for it is removed, and only while the item is there. An output
// whose identity was never recorded (xz's, in the half second before the
// run saw it) is kept: another program may have made that name since.
LeftoverFate DecideLeftover(const RunOutput& recorded, const FoundOutput& found, bool item_there);

// Clears what every dead run left, and removes its record: a run whose
// item's lock can be taken is dead, one whose record cannot be read is left
// alone. Returns what it tells the user, a line per dead run that had left
// something, such as: An earlier run on "Big" was stopped before it
// finished; what it had made ("Big.tar", "Big.tar.xz") was removed. An
// output it cannot prove the run's is kept and told too, as the next run
// on the item will stop at it.
std::string ClearDeadRuns();

// `folder` (a run's item folder, "" for the current one) made absolute, as a
// later start elsewhere must find it; it ends with a separator.
std::string AbsoluteFolder(const std::string& folder);

// The platform's part.
// Where the records are; "" when there is none, or (with `make`) when it
// cannot be made. Only a run makes it: a start that finds none has nothing
// to clear.
std::string RunRecordFolder(bool make);
std::string NewRunRecordPath(const std::string& folder);
std::vector<std::string> ListRunRecords(const std::string& folder);
// A record is a few hundred bytes; a larger one is no run's, and is never
// read. POSIX reads only a regular file of the user's own that no one else
// may write, not through a link, in a folder of the same kind.
const size_t kMaxRecordBytes = 64 * 1024;
bool ReadRunRecord(const std::string& path, std::string* text);
bool WriteRunRecord(const std::string& path, const std::string& text);  // synced
void RemoveRunRecord(const std::string& path);

#endif  // ARKIVA_RUN_RECORD_RUN_RECORD_H_
