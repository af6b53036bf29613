#include "app/tar_step.h"

#include <chrono>
#include <thread>

#include "app/tar_result.h"
#include "app/xz_defaults.h"
#include "app/xz_step.h"
#include "catalogues/translation.h"
#include "host/files/file_claim.h"
#include "host/files/file_identity.h"

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
  StepWatch watch =
      ItemStep(run, "tar", Translated("Creating \"%s\"", {tar_name}), 0, kTarShare, expected,
               [&](Subprocess*) { return WrittenFraction(claim->file.Size(), expected); });
  ProgramRun tar = RunProgram("tar", run.lines.tar, run.folder, kHiddenWindow, TarEnvironment(),
                              run.where.progress ? &watch : nullptr, claim->file.Handle());
  int64_t tar_bytes = claim->file.Size();
  std::string tar_end =
      claim->file.ReadAt(tar_bytes - static_cast<int64_t>(kTarEndBytes), kTarEndBytes);
  claim->file.Close();  // xz reads it by name, and removes it when done
  // What tar could not read is left out; the rest makes the archive, once
  // tar has finished it: anything else is no archive at all.
  TarResult judged = JudgeTar(tar, run.lines.tar.operands.back());
  if (tar.outcome == ProgramRun::kStopped)
    return Cancelled();
  if (judged.outcome == TarResult::kFailed ||
      (judged.outcome == TarResult::kWithWarnings && !IsWholeTarArchive(tar_bytes, tar_end)))
    return Failed(DescribeFailure("tar", tar));
  if (!SameFile(claimed, QueryFileIdentity(run.folder + tar_name)))
    return Failed(Translated(
        "\"%s\" was replaced by another file while the run went on; that file is left as it is.",
        {tar_name}));
  ArchiveStatus status = RunXz(run, {tar_name, tar_name + ".xz", kTarShare, tar_bytes});
  if (status.outcome == ArchiveStatus::kArchived && judged.outcome == TarResult::kWithWarnings)
    status.warning = TarWarning(status.cause, run.name, judged.warnings) +
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
  FileClaim claim = ClaimNewFile(tar_path, run.folder + run.name);
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
                          {status.cause, tar_name});
  return status;
}
