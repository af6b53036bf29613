// The run record's parser: what the writer wrote reads back the same, any
// text it accepts writes back to itself, and no text it accepts names a
// path outside the item's folder: a start removes only the item's own
// outputs, whatever a record says.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "run_record/run_record.h"

namespace {

bool Same(const RecordedRun& a, const RecordedRun& b) {
  if (a.folder != b.folder || a.name != b.name || a.started != b.started ||
      a.selection != b.selection || a.outputs.size() != b.outputs.size())
    return false;
  for (size_t i = 0; i < a.outputs.size(); ++i) {
    const RunOutput &x = a.outputs[i], &y = b.outputs[i];
    if (x.name != y.name || x.archive != y.archive ||
        FormatFileIdentity(x.identity) != FormatFileIdentity(y.identity))
      return false;
  }
  return true;
}

// Where an accepted record's outputs lie: beside the item, in an absolute
// folder.
void CheckStaysBeside(const RecordedRun& run) {
  if (run.folder.empty() || run.folder[0] != '/' || run.folder.back() != '/')
    abort();
  if (run.name.empty() || run.name == "." || run.name == ".." ||
      run.name.find('/') != std::string::npos)
    abort();
  for (const RunOutput& output : run.outputs)
    if (output.name != run.name + ".tar" && output.name != run.name + ".tar.xz" &&
        output.name != run.name + ".xz")
      abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  RecordedRun parsed, again;
  if (ParseRecordedRun(text, &parsed)) {
    CheckStaysBeside(parsed);
    std::string written = FormatRecordedRun(parsed);
    if (!ParseRecordedRun(written, &again) || !Same(parsed, again) ||
        FormatRecordedRun(again) != written)
      abort();
  }

  // A record made of any names: what the writer writes, the parser reads
  // back the same, or refuses as a whole.
  FuzzedDataProvider fuzz(data, size);
  RecordedRun made;
  made.folder = fuzz.ConsumeRandomLengthString(64);
  made.name = fuzz.ConsumeRandomLengthString(32);
  made.started = fuzz.ConsumeIntegral<int64_t>();
  made.selection = fuzz.ConsumeBool();
  for (int i = fuzz.ConsumeIntegralInRange(1, 3); i > 0; --i) {
    RunOutput output;
    output.archive = fuzz.ConsumeBool();
    output.name = fuzz.ConsumeBool() ? made.name + fuzz.PickValueInArray({".tar", ".tar.xz", ".xz"})
                                     : fuzz.ConsumeRandomLengthString(32);
    if (fuzz.ConsumeBool())
      output.identity = {fuzz.ConsumeIntegral<uint64_t>(), fuzz.ConsumeIntegral<uint64_t>(),
                         fuzz.ConsumeIntegral<int64_t>()};
    made.outputs.push_back(output);
  }
  RecordedRun back;
  if (ParseRecordedRun(FormatRecordedRun(made), &back)) {
    CheckStaysBeside(back);
    // An identity of zeros is unknown, and written as such.
    for (RunOutput& output : made.outputs)
      if (!output.identity.Known())
        output.identity = {};
    if (!Same(made, back))
      abort();
  }
  return 0;
}
