#include "app/archive.h"

#include "app/program_run.h"
#include "app/xz_defaults.h"
#include "host/failure_report.h"
#include "host/file_claim.h"
#include "host/file_size.h"
#include "host/interrupt.h"
#include "host/path_limit.h"
#include "host/path_parts.h"
#include "host/program_args.h"

namespace {

#ifdef _WIN32
const bool kPosixNames = false;
#else
const bool kPosixNames = true;
#endif

ArchiveStatus Archived() { return {ArchiveStatus::kArchived, ""}; }
ArchiveStatus Failed(const std::string& cause) { return {ArchiveStatus::kFailed, cause}; }
ArchiveStatus Cancelled() { return {ArchiveStatus::kCancelled, ""}; }

std::string AlreadyThere(const std::string& file_name) {
  return "\"" + file_name + "\" already exists beside it.";
}

// The item as the user knows it: its last path component whole (quotes
// included), or the whole path when it ends in a separator.
std::string ItemName(const std::string& argument) {
  size_t start = argument.size();
  while (start > 0 && !IsPathSeparator(argument[start - 1]))
    --start;
  return start == argument.size() ? argument : argument.substr(start);
}

bool Exists(const std::string& path) { return QueryFileSize(path.c_str()) != kSizeNothing; }

// About what tar will write for the folder, from one walk before it starts:
// the files' bytes, and per entry a 512-byte header and on average half a
// block of padding, plus the folder's own header and the end blocks. Names
// that need extended headers make the real size a little larger.
uint64_t ExpectedTarSize(const FolderTally& tally) {
  return tally.bytes + (tally.entries + 1) * (512 + 256) + 1024;
}

// xz in its own console, on every core unless the user says otherwise; the
// memory it may take depends on the runs in progress when it starts.
ProgramRun RunXz(const std::string& line, const std::string& folder_part) {
  OfferXzDefaults();
  return RunProgram("xz", line, folder_part, kShownWindow);
}

// tar into the claimed Name.tar, then xz, which replaces it with Name.tar.xz.
// Whatever goes wrong, the Name.tar this run made is removed again.
ArchiveStatus ArchiveFolder(const std::string& folder_part, const std::string& name,
                            const ArchiveLines& lines) {
  std::string tar_name = name + ".tar";
  std::string tar_path = folder_part + tar_name;
  if (Exists(tar_path + ".xz"))
    return Failed(AlreadyThere(tar_name + ".xz"));
  FileClaim claim = ClaimNewFile(tar_path);
  if (claim.result == FileClaim::kExists)
    return Failed(AlreadyThere(tar_name));
  if (claim.result == FileClaim::kFailed)
    return Failed("\"" + tar_name + "\" could not be created beside it: " + claim.reason);

  OutputWatch watch{tar_path, ExpectedTarSize(TallyFolder(folder_part + name)),
                    "Creating \"" + tar_name + "\""};
  ProgramRun tar = RunProgram("tar", lines.tar, folder_part, kHiddenWindow, &watch);
  if (!tar.Succeeded()) {
    RemoveClaimedFile(tar_path);
    return tar.stopped ? Cancelled() : Failed(DescribeFailure("tar", tar));
  }
  ProgramRun xz = RunXz(lines.xz, folder_part);
  if (!xz.Succeeded()) {
    RemoveClaimedFile(tar_path);  // xz removes its own partial output
    return Interrupted() ? Cancelled() : Failed(DescribeFailure("xz", xz));
  }
  return Archived();
}

ArchiveStatus CompressFile(const std::string& folder_part, const std::string& name,
                           const ArchiveLines& lines) {
  if (Exists(folder_part + name + ".xz"))
    return Failed(AlreadyThere(name + ".xz"));
  ProgramRun xz = RunXz(lines.xz, folder_part);
  if (xz.Succeeded())
    return Archived();
  return Interrupted() ? Cancelled() : Failed(DescribeFailure("xz", xz));
}

}  // namespace

std::string OperandName(const std::string& name, bool posix_names) {
  bool option_like = !name.empty() && (name[0] == '-' || name[0] == '@');
  bool remote_like = posix_names && name.find(':') != std::string::npos;
  return option_like || remote_like ? "./" + name : name;
}

ArchiveLines BuildArchiveLines(const std::string& name, bool folder, bool posix_names) {
  std::string operand = OperandName(name, posix_names);
  std::string tar_name = "\"" + operand + ".tar\"";
  std::string quoted_name = "\"" + operand + "\"";
  if (!folder)
    return {std::string(), "-zv " + quoted_name};
  return {"cf " + tar_name + " " + quoted_name, "-zv " + tar_name};
}

ArchiveStatus ArchiveItem(const std::string& argument) {
  // tar and xz could not reach a path beyond the programs' limit, whether or
  // not the size query can.
  std::string too_long = CheckPathLength(argument);
  if (!argument.empty() && !too_long.empty())
    return Failed("its path is " + too_long + ".");
  // Only what is not there at all is nothing to do: an item that cannot be
  // reached is the user's item all the same.
  std::string unreachable;
  int64_t size = QueryFileSize(argument.c_str(), &unreachable);
  if (!unreachable.empty())
    return Failed(unreachable);
  bool folder = size == kSizeFolder;
  if (!folder && size <= 0)
    return {ArchiveStatus::kNothingToDo, ""};
  // The argument line has no way to carry a double quote, and a vertical bar
  // would cut the folder part short.
  if (kPosixNames && argument.find_first_of("\"|") != std::string::npos)
    return Failed("its path holds a \" or a |, which cannot be passed to tar and xz.");

  std::string folder_part = DirectoryPart(argument.c_str());
  std::string name = FileNamePart(argument.c_str());
  std::string archive_name = name + (folder ? ".tar.xz" : ".xz");
  too_long = CheckPathLength(folder_part + archive_name);
  if (!too_long.empty())
    return Failed("the path of \"" + archive_name + "\" beside it would be " + too_long + ".");
  ArchiveLines lines = BuildArchiveLines(name, folder, kPosixNames);
  return folder ? ArchiveFolder(folder_part, name, lines) : CompressFile(folder_part, name, lines);
}

int CreateArchive() {
  std::string argument = ProgramArgument();
  CatchInterrupt();
  ArchiveStatus status = ArchiveItem(argument);
  switch (status.outcome) {
    case ArchiveStatus::kArchived:
    case ArchiveStatus::kNothingToDo:
      return 0;
    case ArchiveStatus::kFailed:
      ReportFailure("Could not archive \"" + ItemName(argument) + "\": " + status.cause);
      return 1;
    case ArchiveStatus::kCancelled:
      break;
  }
  return 1;
}
