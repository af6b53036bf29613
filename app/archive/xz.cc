#include "app/archive/xz.h"

#include <lzma.h>
#include <signal.h>
#include <stdint.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "app/archive/xz_plan.h"
#include "catalogues/translation.h"
#include "host/files/file_claim.h"
#include "host/files/file_identity.h"
#include "host/files/file_size.h"
#include "host/files/whole_file.h"
#include "host/lines.h"

// xz, one level of an item's run: its progress, the check of what it
// wrote, then the step that runs it on Name.tar or on a file, as
// xz_plan.cc plans it.

// Progress

namespace {

// "42.1", or "42,1" as xz writes it in the user's locale; -1 if `text` is
// not such a figure.
double Percent(const std::string& text) {
  double value = 0, scale = 0;
  bool digits = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits = true;
      value = scale ? value + (c - '0') * (scale /= 10) : value * 10 + (c - '0');
    } else if ((c == '.' || c == ',') && !scale && digits) {
      scale = 1;
    } else {
      return -1;
    }
  }
  return digits && value <= 100 ? value : -1;
}

}  // namespace

double XzProgressFraction(const std::string& said) {
  // Lines end in '\r' or '\n'; the percent is the first figure of a line,
  // before " %".
  for (size_t end = said.size(); end > 0;) {
    size_t start = said.find_last_of("\r\n", end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    std::string line = said.substr(start, end - start);
    size_t percent = line.find(" %");
    size_t first = line.find_first_not_of(' ');
    if (percent != std::string::npos && first < percent) {
      double value = Percent(line.substr(first, percent - first));
      if (value >= 0)
        return value / 100;
    }
    end = start > 0 ? start - 1 : 0;
  }
  return -1;
}

double MeasureXz(Subprocess* xz) {
  double said = XzProgressFraction(xz->ShownText());
  AskXzProgress(xz);
  return said;
}

#ifndef _WIN32
void AskXzProgress(Subprocess* xz) {
  xz->SignalIfCaught(SIGUSR1);
}
#else
// xz keeps its console's line up to date by itself.
void AskXzProgress(Subprocess*) {}
#endif

// The output check

namespace {

// An index takes about 10 bytes a block: 64 MiB lists some 6 million
// blocks, 48 TB in xz's own 8 MiB blocks.
const int64_t kMaxIndexBytes = 64 << 20;

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

}  // namespace

XzFileCheck CheckXzFile(const std::string& path) {
  const XzFileCheck kNot = {.result = XzFileCheck::kNotWhole};
  std::string header, footer, index_bytes, failure;
  // A read the system refused makes the file unreadable; a short one, not whole.
  auto refused = [&] {
    return failure.empty() ? kNot
                           : XzFileCheck{.result = XzFileCheck::kUnreadable, .reason = failure};
  };
  if (!ReadFileRange(path, 0, LZMA_STREAM_HEADER_SIZE, &header, &failure))
    return refused();
  int64_t size = GrowingFileSize(path);
  if (size < 2 * LZMA_STREAM_HEADER_SIZE)
    return kNot;
  if (!ReadFileRange(path, size - LZMA_STREAM_HEADER_SIZE, LZMA_STREAM_HEADER_SIZE, &footer,
                     &failure))
    return refused();
  lzma_stream_flags header_flags, footer_flags;
  if (lzma_stream_header_decode(&header_flags, Bytes(header)) != LZMA_OK ||
      lzma_stream_footer_decode(&footer_flags, Bytes(footer)) != LZMA_OK ||
      lzma_stream_flags_compare(&header_flags, &footer_flags) != LZMA_OK)
    return kNot;
  // The index ends where the footer begins and lists every block: with them,
  // the stream's size is the file's.
  int64_t index_size = static_cast<int64_t>(footer_flags.backward_size);
  if (index_size > size - 2 * LZMA_STREAM_HEADER_SIZE || index_size > kMaxIndexBytes)
    return kNot;
  if (!ReadFileRange(path, size - LZMA_STREAM_HEADER_SIZE - index_size,
                     static_cast<size_t>(index_size), &index_bytes, &failure))
    return refused();
  lzma_index* index = nullptr;
  uint64_t memory_limit = 4 * kMaxIndexBytes;
  size_t position = 0;
  bool whole = lzma_index_buffer_decode(&index, &memory_limit, nullptr, Bytes(index_bytes),
                                        &position, index_bytes.size()) == LZMA_OK &&
               position == index_bytes.size() &&
               lzma_index_stream_size(index) == static_cast<uint64_t>(size);
  uint64_t uncompressed = whole ? lzma_index_uncompressed_size(index) : 0;
  lzma_index_end(index, nullptr);
  return whole ? XzFileCheck{.result = XzFileCheck::kWhole, .uncompressed = uncompressed} : kNot;
}

std::string XzMessages(const std::string& said) {
  std::string messages;
  for (const std::string& line : SplitLines(said))
    if (line.compare(0, 4, "xz: ") == 0)
      messages += (messages.empty() ? "" : "\n") + line;
  return messages;
}

// The step

namespace {

// Whether xz may have left a part of its output that is this run's to
// remove. xz removes what it wrote when it fails by itself; a part stays
// when it was ended from outside (a signal, taskkill, its console closed, a
// log-off) or by the user's cancel. A process ended with
// TerminateProcess(h, 0), as taskkill /f does, reports exit code 0.
bool MayHaveLeftAPart(const ProgramRun& xz) {
  switch (xz.outcome) {
    case ProgramRun::kNotStarted:
      return false;
    case ProgramRun::kExited:
      return xz.code == 0;
    case ProgramRun::kEnded:
    case ProgramRun::kStopped:
    case ProgramRun::kUnknown:
      return true;
  }
  return false;
}

// An output that the check could not call whole, kept because xz has
// removed its input: the report says why it is in doubt.
ArchiveStatus KeptOutput(const XzFileCheck& check, const XzStep& step) {
  std::string doubt =
      check.result == XzFileCheck::kUnreadable
          ? Translated("\"%s\" could not be read back: %s", {step.output_name, check.reason})
          : Translated("\"%s\" is not a whole .xz file.", {step.output_name});
  return Failed(doubt + " " +
                Translated("It is kept, as xz has removed \"%s\".", {step.input_name}));
}

ArchiveStatus XzStatus(ProgramRun xz, const std::string& output_name) {
  if (xz.outcome == ProgramRun::kStopped)
    return Cancelled();
  if (xz.Succeeded())
    return Failed(Translated("xz failed: it ended before \"%s\" was complete.", {output_name}));
  if (xz.outcome != ProgramRun::kNotStarted)
    xz.reason = XzMessages(xz.reason);
  return Failed(DescribeFailure("xz", xz));
}

// A whole archive, as xz ended: synced before it is reported (a power loss
// a moment after "Created" must not take it), and the item's only when its
// index holds what the input had; else another file was put in the input's
// place before xz read it (a folder another user may write), and the
// archive, which holds that file, is kept and not reported as the item's.
ArchiveStatus WholeOutput(const XzStep& step, const std::string& output, const XzFileCheck& check,
                          const ProgramRun& xz, bool warned) {
  std::string unsynced = SyncFile(output);
  if (!unsynced.empty())
    return Failed(
        Translated("\"%s\" could not be written to the disk: %s", {step.output_name, unsynced}));
  if (step.expected_bytes >= 0 && check.uncompressed != static_cast<uint64_t>(step.expected_bytes))
    return Failed(Translated(
        "\"%1$s\" was replaced by another file before xz read it: \"%2$s\" holds that file, "
        "and is kept.",
        {step.input_name, step.output_name}));
  if (!warned)
    return Archived(step.output_name);
  return Archived(step.output_name,
                  Translated("\"%s\" was created, with a warning from xz:", {step.output_name}) +
                      "\n" + XzMessages(xz.said));
}

}  // namespace

namespace {

// The version of the xz that runs, asked of it (--robot --version); 0 when
// it cannot tell. Its answer goes to a file: a hidden program's output has
// nowhere else to go on Windows.
uint32_t AskXzVersion(const ItemRun& run) {
  std::string failure;
  HeldFile answer = TemporaryFile("", &failure);
  if (!failure.empty())
    return 0;
  ProgramRun asked = RunProgram({.program = "xz",
                                 .arguments = {"--robot --version", {}},
                                 .folder = run.folder,
                                 .window = kHiddenWindow,
                                 .environment = {"XZ_DEFAULTS", "XZ_OPT"},
                                 .output = answer.Handle()});
  return asked.Succeeded() ? XzVersion(answer.ReadAt(0, static_cast<size_t>(answer.Size()))) : 0;
}

}  // namespace

// The run's locks keep every other run away, so an output that was not
// there when xz started, is not a whole .xz file and was written since can
// only be this xz's part: it is removed, as it would look like an archive
// and block the next run.
ArchiveStatus RunXz(const ItemRun& run, const XzStep& step) {
  std::string input = run.folder + step.input_name;
  std::string output = run.folder + step.output_name;
  if (Exists(output))
    return Failed(AlreadyThere(step.output_name));
  // xz's blocks depend on the size of its input.
  int64_t input_size = GrowingFileSize(input);
  uint64_t input_bytes = input_size > 0 ? input_size : 0;
  // xz's output is recorded as soon as it is there, so that a start after
  // this run died knows it for this run's, whole or not.
  bool recorded = false;
  auto measure = [&](Subprocess* child) {
    FileIdentity made = recorded ? FileIdentity() : QueryFileIdentity(output);
    if (made.Known()) {
      run.record->NoteOutput(step.output_name, made);
      recorded = true;
    }
    return MeasureXz(child);
  };
  StepWatch watch = ItemStep(run, {.program = "xz",
                                   .step = Translated("Compressing \"%s\"", {step.output_name}),
                                   .from = step.from,
                                   .to = 1,
                                   .bytes = input_bytes,
                                   .measure = measure});
  // What does not compress is planned for by what this xz can do.
  std::vector<InputRegion> regions = JudgeInput(input, input_bytes, step.input_is_tar);
  uint32_t xz_version = IncompressibleBytes(regions) > 0 ? AskXzVersion(run) : 0;
  int64_t start = static_cast<int64_t>(time(nullptr));
  ProgramRun xz = RunProgram({.program = "xz",
                              .arguments = run.lines.xz,
                              .folder = run.folder,
                              .window = kShownWindow,
                              .environment = XzEnvironment(input_bytes, regions, xz_version)},
                             &watch);
  XzFileCheck check = xz.outcome == ProgramRun::kNotStarted
                          ? XzFileCheck{.result = XzFileCheck::kNotWhole}
                          : CheckXzFile(output);
  // xz ends 2 after a warning (a mount that keeps no owner: "Cannot set the
  // file group"), having written the whole archive and removed its input.
  bool warned = xz.outcome == ProgramRun::kExited && xz.code == 2 && !Exists(input);
  // xz that wrote the whole archive but could not remove its input (a sync
  // client or a scanner holding it without sharing its deletion) ends 1 or
  // 2. The input is then the run's own Name.tar (its size known), which the
  // tar step removes itself.
  bool input_held = xz.outcome == ProgramRun::kExited && (xz.code == 1 || xz.code == 2) &&
                    step.expected_bytes >= 0 && Exists(input);
  if ((xz.Succeeded() || warned || input_held) && check.result == XzFileCheck::kWhole)
    return WholeOutput(step, output, check, xz, warned);
  if (xz.outcome != ProgramRun::kNotStarted && !Exists(input) && Exists(output))
    return KeptOutput(check, step);
  // A file system may keep times in steps of up to two seconds.
  if (MayHaveLeftAPart(xz) && check.result != XzFileCheck::kWhole &&
      FileModifiedTime(output) >= start - 2)
    RemoveClaimedFile(output);
  return XzStatus(xz, step.output_name);
}
