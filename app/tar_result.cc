#include "app/tar_result.h"

#include "catalogues/translation.h"

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

TarResult JudgeTar(const ProgramRun& tar, const std::string& item) {
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
    if (!AboutAnEntry(message, item))
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
