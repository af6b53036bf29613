#include "app/archive/tar.h"

#ifndef _WIN32
#include <libintl.h>
#endif

#include <chrono>
#include <thread>

#include "app/archive/xz.h"
#include "catalogues/translation.h"
#include "host/files/file_claim.h"
#include "host/files/file_identity.h"
#include "host/lines.h"

// A folder's tar, one level of an item's run: first the verdict on what a
// tar run said, then the step itself (the claim, tar into it, xz, the
// claimed Name.tar cleaned up).

// The verdict

namespace {

const char kPrefix[] = "tar: ";

// Whether tar's message (its name taken off) is about an entry of the item:
// GNU tar begins it with the entry's path ("Docs/locked: Cannot open: ..."),
// bsdtar puts the path after its words ("Couldn't open Docs/locked: ...").
// The item itself counts too, once it could be listed (a folder that changed
// while tar read it); an archive that could not be written names the
// archive, and a fatal error nothing at all.
bool AboutAnEntry(const std::string& message, const std::string& item) {
  if (message.compare(0, item.size() + 2, item + ": ") == 0)
    return true;
  std::string inside = item + "/";
  for (size_t at = message.find(inside); at != std::string::npos; at = message.find(inside, at + 1))
    if (at == 0 || message[at - 1] == ' ')
      return true;
  return false;
}

}  // namespace

TarResult JudgeTar(const ProgramRun& tar, const std::vector<std::string>& items) {
  // GNU tar ends 1 for files that changed while read, 2 for any error;
  // bsdtar 1 for any error. Anything else, or a tar that did not end by
  // itself, left no archive worth keeping.
  if (tar.outcome != ProgramRun::kExited || tar.code < 0 || tar.code > 2)
    return {TarResult::kFailed, {}};
  std::vector<std::string> closing = TarClosingLines();
  TarResult result = {TarResult::kWhole, {}};
  for (const std::string& line : NonEmptyLines(tar.said)) {
    bool prefixed = line.compare(0, sizeof(kPrefix) - 1, kPrefix) == 0;
    std::string message = prefixed ? line.substr(sizeof(kPrefix) - 1) : line;
    // A tar that ended 0 wrote every entry; whatever it said is told.
    if (tar.code == 0) {
      result.warnings.push_back(message);
      continue;
    }
    if (!prefixed)
      return {TarResult::kFailed, {}};
    bool is_closing = false;
    for (const std::string& c : closing)
      is_closing = is_closing || message == c;
    if (is_closing)
      continue;
    bool about_one = false;
    for (const std::string& item : items)
      about_one = about_one || AboutAnEntry(message, item);
    if (!about_one)
      return {TarResult::kFailed, {}};
    result.warnings.push_back(message);
  }
  if (!result.warnings.empty())
    result.outcome = TarResult::kWithWarnings;
  else if (tar.code != 0)
    result.outcome = TarResult::kFailed;  // an error it did not name
  return result;
}

bool IsWholeTarArchive(int64_t size, const std::string& tail) {
  return size >= static_cast<int64_t>(kTarEndBytes) && size % 512 == 0 &&
         tail.size() == kTarEndBytes && tail.find_first_not_of('\0') == std::string::npos;
}

ChildEnvironment TarEnvironment() {
  // GNU tar reads TAR_OPTIONS, bsdtar TAR_READER_OPTIONS and
  // TAR_WRITER_OPTIONS (its format options).
  return {"TAR_OPTIONS", "TAR_READER_OPTIONS", "TAR_WRITER_OPTIONS"};
}

std::string ShortList(const std::vector<std::string>& lines, size_t shown) {
  std::string list;
  for (size_t i = 0; i < lines.size() && i < shown; ++i)
    list += (i ? "\n" : "") + lines[i];
  if (lines.size() > shown) {
    size_t more = lines.size() - shown;
    list += "\n" + TranslatedPlural("and %s more.", "and %s more.", more, {std::to_string(more)});
  }
  return list;
}

#ifndef _WIN32
std::vector<std::string> TarClosingLines() {
  // GNU tar speaks the user's language from its own catalogue, which
  // gettext finds for arkiva as it does for tar; bsdtar speaks English.
  const char kGnu[] = "Exiting with failure status due to previous errors";
  return {kGnu, dgettext("tar", kGnu), "Error exit delayed from previous errors."};
}
#else
std::vector<std::string> TarClosingLines() {
  // The shipped bsdtar speaks English only; so does a GNU tar for Windows.
  return {"Error exit delayed from previous errors.",
          "Exiting with failure status due to previous errors"};
}
#endif

// The step

namespace {

// tar takes a small part of an item's time: it copies, where xz compresses.
const double kTarShare = 0.05;

// How many of tar's lines about what it could not read a report shows.
const size_t kWarningLines = 10;

// About what tar will write for the folder, from one walk before it starts:
// the files' bytes, and per entry a 512-byte header and on average half a
// block of padding, plus the folder's own header and the end blocks. Names
// that need extended headers make the real size a little larger.
uint64_t ExpectedTarSize(const FolderTally& tally) {
  return tally.bytes + (tally.entries + 1) * (512 + 256) + 1024;
}

// Until it has ended, tar's output can be a little larger than expected
// (headers, padding) or smaller (files that shrank): never show it as done
// before it is.
double WrittenFraction(int64_t written, uint64_t expected) {
  if (written <= 0 || expected == 0)
    return 0;
  double fraction = static_cast<double>(written) / expected;
  return fraction < 0.99 ? fraction : 0.99;
}

// What the user is told of an archive that lacks what tar could not read.
std::string TarWarning(const std::string& archive_name, const std::string& item_name,
                       const std::vector<std::string>& lines) {
  return Translated(
             "\"%1$s\" was created, but some of \"%2$s\" is missing from it or changed while "
             "it was read:",
             {archive_name, item_name}) +
         "\n" + ShortList(lines, kWarningLines);
}

// Removes a file this run made, waiting a little for a program that holds
// it (a sync client, a scanner) to let go; true when it is gone.
bool RemoveSoon(const std::string& path) {
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (RemoveClaimedFile(path))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// tar into the claimed file, its standard output, never into whatever the
// name may come to name: in a folder another user may write, a link or a
// pipe put there would take the tar of a private folder elsewhere. Then xz.
ArchiveStatus TarThenXz(const ItemRun& run, const FolderTally& tally, FileClaim* claim) {
  std::string tar_name = run.name + ".tar";
  FileIdentity claimed = claim->file.Identity();
  // tar by the size of what it has written, against what it will hold.
  uint64_t expected = ExpectedTarSize(tally);
  StepWatch watch = ItemStep(
      run, {.program = "tar",
            .step = Translated("Creating \"%s\"", {tar_name}),
            .from = 0,
            .to = kTarShare,
            .bytes = expected,
            .measure = [&](Subprocess*) { return WrittenFraction(claim->file.Size(), expected); }});
  // A selection's names, which tar reads on its input.
  std::string unwritten;
  HeldFile names =
      run.lines.tar_input.empty() ? HeldFile() : TemporaryFile(run.lines.tar_input, &unwritten);
  if (!unwritten.empty())
    return Failed(Translated("the list of its items could not be written: %s", {unwritten}));
  ProgramRun tar = RunProgram(
      {.program = "tar",
       .arguments = tally.odd_times ? KeepingModificationTimes(run.lines.tar) : run.lines.tar,
       .folder = run.folder,
       .window = kHiddenWindow,
       .environment = TarEnvironment(),
       .output = claim->file.Handle(),
       .input = names.Handle()},
      run.where.progress ? &watch : nullptr);
  int64_t tar_bytes = claim->file.Size();
  std::string tar_end =
      claim->file.ReadAt(tar_bytes - static_cast<int64_t>(kTarEndBytes), kTarEndBytes);
  claim->file.Close();  // xz reads it by name, and removes it when done
  // What tar could not read is left out; the rest makes the archive, once
  // tar has finished it: anything else is no archive at all.
  TarResult judged = JudgeTar(tar, run.lines.tar_items);
  if (tar.outcome == ProgramRun::kStopped)
    return Cancelled();
  if (judged.outcome == TarResult::kFailed ||
      (judged.outcome == TarResult::kWithWarnings && !IsWholeTarArchive(tar_bytes, tar_end)))
    return Failed(DescribeFailure("tar", tar));
  if (!SameFile(claimed, QueryFileIdentity(run.folder + tar_name)))
    return Failed(Translated(
        "\"%s\" was replaced by another file while the run went on; that file is left as it is.",
        {tar_name}));
  ArchiveStatus status = RunXz(run, {.input_name = tar_name,
                                     .output_name = tar_name + ".xz",
                                     .from = kTarShare,
                                     .expected_bytes = tar_bytes,
                                     .input_is_tar = true});
  if (status.outcome == ArchiveStatus::kArchived && judged.outcome == TarResult::kWithWarnings)
    status.warning = TarWarning(status.archive_name, run.name, judged.warnings) +
                     (status.warning.empty() ? "" : "\n" + status.warning);
  return status;
}

}  // namespace

ArchiveStatus ArchiveFolder(const ItemRun& run, const FolderTally& tally) {
  std::string tar_name = run.name + ".tar";
  std::string tar_path = run.folder + tar_name;
  // A folder that cannot be listed would make an archive of its name alone.
  if (!tally.unreadable.empty())
    return Failed(tally.unreadable);
  if (Exists(tar_path + ".xz"))
    return Failed(AlreadyThere(tar_name + ".xz"));
  // No more open than what it is made from: the item, or the folder that
  // holds a selection.
  std::string source = !run.selection       ? run.folder + run.name
                       : run.folder.empty() ? "."
                                            : run.folder;
  FileClaim claim = ClaimNewFile(tar_path, source);
  if (claim.result == FileClaim::kExists)
    return Failed(AlreadyThere(tar_name));
  if (claim.result == FileClaim::kFailed)
    return Failed(
        Translated("\"%s\" could not be created beside it: %s", {tar_name, claim.reason}));
  FileIdentity claimed = claim.file.Identity();
  run.record->NoteOutput(tar_name, claimed);

  ArchiveStatus status = TarThenXz(run, tally, &claim);

  // Only the file this run made: in a folder others may write, another
  // file may stand under the name by now. An archive's Name.tar is left only
  // when xz could not remove it; it goes once its holder lets go, or is told.
  if (SameFile(claimed, QueryFileIdentity(tar_path)) && !RemoveSoon(tar_path) &&
      status.outcome == ArchiveStatus::kArchived)
    status.warning += (status.warning.empty() ? "" : "\n") +
                      Translated(
                          "\"%1$s\" is whole, but \"%2$s\" beside it could not be removed: "
                          "another program holds it. It may be deleted.",
                          {status.archive_name, tar_name});
  return status;
}
