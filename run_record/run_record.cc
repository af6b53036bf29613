#include "run_record/run_record.h"

#include "catalogues/translation.h"
#include <stdlib.h>

#include <algorithm>
#include <memory>

#include "host/escaped_text.h"
#include "host/files/file_claim.h"
#include "host/files/file_size.h"
#include "host/files/item_lock.h"
#include "host/files/path_parts.h"
#include "host/lines.h"

namespace {

const char kHeader[] = "arkiva run record 1";
const char kEnd[] = "end";

// A name on one line: backslash, line feed and carriage return escaped.
std::string Escaped(const std::string& text) {
  return EscapedText(text, {{'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}});
}

bool Unescaped(const std::string& text, std::string* plain) {
  plain->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *plain += text[i];
      continue;
    }
    if (++i == text.size())
      return false;
    char c = text[i];
    if (c != '\\' && c != 'n' && c != 'r')
      return false;
    *plain += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
  }
  return true;
}

// The value of a line "key value"; false when the line has another key.
bool Field(const std::string& line, const char* key, std::string* value) {
  std::string prefix = std::string(key) + " ";
  if (line.compare(0, prefix.size(), prefix) != 0)
    return false;
  *value = line.substr(prefix.size());
  return true;
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names)
    list += (list.empty() ? "" : ", ") + Quoted(name);
  return list;
}

// What separates folders in a name of this system's.
const char* const kSeparators = kPosixNames ? "/" : "\\/";

// A name that stays in its folder: no separator, not "." or "..".
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(kSeparators) == std::string::npos;
}

// A folder a later start finds again wherever it runs, ending with a
// separator: "/home/zoë/", "C:\Data\", "\\server\share\".
bool AbsoluteFolderName(const std::string& folder) {
  return IsAbsolutePath(folder, kPosixNames) &&
         std::string(kSeparators).find(folder.back()) != std::string::npos;
}

// A file system may keep times in steps of up to two seconds.
const int64_t kTimeSlack = 2;

FoundOutput Find(const std::string& path, const RunOutput& output, int64_t started) {
  if (QueryFileSize(path.c_str()) == kSizeNothing)
    return {};
  FileIdentity now = QueryFileIdentity(path);
  return {.exists = true,
          .same_file = SameFile(output.identity, now),
          .written_since = FileModifiedTime(path) >= started - kTimeSlack};
}

// Clears one dead run's outputs; returns what the user is told, "" for
// nothing.
std::string ClearRun(const RecordedRun& run) {
  // A selection's items stay however its run ends.
  bool item_there = run.selection || QueryFileSize((run.folder + run.name).c_str()) != kSizeNothing;
  std::vector<std::string> removed, kept, unproven;
  for (const RunOutput& output : run.outputs) {
    std::string path = run.folder + output.name;
    switch (DecideLeftover(output, Find(path, output, run.started), item_there)) {
      case LeftoverFate::kRemove:
        if (RemoveClaimedFile(path))
          removed.push_back(output.name);
        break;
      case LeftoverFate::kKeep:
        kept.push_back(output.name);
        break;
      case LeftoverFate::kNotOurs:
        // Remounted (FAT, exFAT and NTFS-3G give files new numbers), or
        // replaced by the user: the next run would stop at it all the same.
        unproven.push_back(output.name);
        break;
      case LeftoverFate::kAbsent:
        break;
    }
  }
  std::vector<std::string> told;
  if (!removed.empty())
    told.push_back(Translated(
        "An earlier run on \"%s\" was stopped before it finished; what it had made (%s) was "
        "removed.",
        {run.name, QuotedList(removed)}));
  else if (!kept.empty())
    told.push_back(TranslatedPlural(
        "An earlier run on \"%1$s\" was stopped before it finished; %2$s is kept, as \"%1$s\" "
        "is gone.",
        "An earlier run on \"%1$s\" was stopped before it finished; %2$s are kept, as \"%1$s\" "
        "is gone.",
        kept.size(), {run.name, QuotedList(kept)}));
  if (!unproven.empty())
    told.push_back(TranslatedPlural(
        "An earlier run on \"%1$s\" was stopped before it finished; %2$s is kept: it cannot be "
        "told apart from a file of yours.",
        "An earlier run on \"%1$s\" was stopped before it finished; %2$s are kept: they cannot "
        "be told apart from files of yours.",
        unproven.size(), {run.name, QuotedList(unproven)}));
  std::string text;
  for (const std::string& line : told)
    text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

std::string FormatRecordedRun(const RecordedRun& run) {
  std::string text = std::string(kHeader) + "\nfolder " + Escaped(run.folder) + "\nname " +
                     Escaped(run.name) + "\nstarted " + std::to_string(run.started) + "\n" +
                     (run.selection ? "selection\n" : "");
  for (const RunOutput& output : run.outputs)
    text += std::string("output ") + (output.archive ? "archive " : "part ") +
            (output.identity.Known() ? FormatFileIdentity(output.identity) : "-") + " " +
            Escaped(output.name) + "\n";
  return text + kEnd + "\n";
}

bool ParseRecordedRun(const std::string& text, RecordedRun* run) {
  if (!text.empty() && text.back() != '\n')
    return false;  // cut short
  std::vector<std::string> lines = SplitLines(text);
  std::string folder, name, started;
  if (lines.size() < 5 || lines[0] != kHeader || lines.back() != kEnd ||
      !Field(lines[1], "folder", &folder) || !Unescaped(folder, &run->folder) ||
      !Field(lines[2], "name", &name) || !Unescaped(name, &run->name) || run->name.empty() ||
      !Field(lines[3], "started", &started) || started.empty())
    return false;
  char* end = nullptr;
  run->started = strtoll(started.c_str(), &end, 10);
  if (*end)
    return false;
  run->selection = lines[4] == "selection";
  run->outputs.clear();
  for (size_t i = run->selection ? 5 : 4; i + 1 < lines.size(); ++i) {
    std::string value;
    if (!Field(lines[i], "output", &value))
      return false;
    size_t kind_end = value.find(' '), identity_end = value.find(' ', kind_end + 1);
    if (kind_end == std::string::npos || identity_end == std::string::npos)
      return false;
    RunOutput output;
    std::string kind = value.substr(0, kind_end);
    std::string identity = value.substr(kind_end + 1, identity_end - kind_end - 1);
    if ((kind != "archive" && kind != "part") ||
        (identity != "-" && !ParseFileIdentity(identity, &output.identity)) ||
        !Unescaped(value.substr(identity_end + 1), &output.name) || output.name.empty())
      return false;
    output.archive = kind == "archive";
    run->outputs.push_back(output);
  }
  if (run->outputs.empty() || !AbsoluteFolderName(run->folder) || !PlainName(run->name))
    return false;
  // Only what a run on the item writes: whatever else a record may say,
  // no start removes anything but the item's own outputs beside it.
  std::vector<std::string> own = RunOutputNames(run->name, true);
  own.push_back(RunOutputNames(run->name, false).back());
  for (const RunOutput& output : run->outputs)
    if (std::find(own.begin(), own.end(), output.name) == own.end())
      return false;
  return true;
}

std::vector<std::string> RunOutputNames(const std::string& name, bool folder) {
  if (folder)
    return {name + ".tar", name + ".tar.xz"};
  return {name + ".xz"};
}

RunRecord::RunRecord(const RecordedRun& run) : run_(run) {
  std::string folder = RunRecordFolder(true);
  if (folder.empty())
    return;
  path_ = NewRunRecordPath(folder);
  if (!WriteRunRecord(path_, FormatRecordedRun(run_)))
    path_.clear();
}

RunRecord::~RunRecord() {
  if (!path_.empty())
    RemoveRunRecord(path_);
}

void RunRecord::NoteOutput(const std::string& name, const FileIdentity& identity) {
  for (RunOutput& output : run_.outputs) {
    if (output.name != name || output.identity.Known() || !identity.Known())
      continue;
    output.identity = identity;
    if (!path_.empty())
      WriteRunRecord(path_, FormatRecordedRun(run_));
  }
}

LeftoverFate DecideLeftover(const RunOutput& recorded, const FoundOutput& found, bool item_there) {
  if (!found.exists)
    return LeftoverFate::kAbsent;
  if (recorded.identity.Known())
    return !found.same_file ? LeftoverFate::kNotOurs
           : item_there     ? LeftoverFate::kRemove
                            : LeftoverFate::kKeep;
  // Without its identity, an output is never provably the run's: another
  // program may have written the name since the run died. Written since
  // the run began, xz's may be the only copy of a gone item.
  return recorded.archive && found.written_since && !item_there ? LeftoverFate::kKeep
                                                                : LeftoverFate::kNotOurs;
}

std::string ClearDeadRuns() {
  std::string folder = RunRecordFolder(false);
  if (folder.empty())
    return "";
  std::string told;
  for (const std::string& path : ListRunRecords(folder)) {
    std::string text;
    RecordedRun run;
    if (!ReadRunRecord(path, &text) || !ParseRecordedRun(text, &run))
      continue;
    // A live run holds its item's lock and those of its outputs (which a
    // live run on another item may hold too): all of them, or nothing now.
    ItemLock lock(run.folder, run.name);
    if (lock.Result() != ItemLock::kHeld) {
      // A folder that has gone (not one out of reach) holds nothing of the
      // run's any more.
      std::string unreachable;
      if (lock.Result() == ItemLock::kFailed &&
          QueryFileSize(run.folder.c_str(), &unreachable) == kSizeNothing && unreachable.empty())
        RemoveRunRecord(path);
      continue;
    }
    std::vector<std::unique_ptr<ItemLock>> output_locks;
    bool held = true;
    for (const RunOutput& output : run.outputs) {
      output_locks.emplace_back(new ItemLock(run.folder, output.name));
      held = held && output_locks.back()->Result() == ItemLock::kHeld;
    }
    // A run removes its record before it lets go of its locks: one that
    // ended since its record was read has taken it away, and what it made
    // is the user's now. Only a record still there, as read, is a dead run's.
    std::string again;
    if (!held || !ReadRunRecord(path, &again) || again != text)
      continue;
    std::string cleared = ClearRun(run);
    if (!cleared.empty())
      told += (told.empty() ? "" : "\n") + cleared;
    RemoveRunRecord(path);
  }
  return told;
}
