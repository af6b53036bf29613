#include "app/item_run.h"

#include "catalogues/translation.h"
#include "host/files/file_size.h"

ArchiveStatus Archived(const std::string& archive_name, const std::string& warning) {
  return {ArchiveStatus::kArchived, archive_name, warning};
}

ArchiveStatus Failed(const std::string& cause) {
  return {ArchiveStatus::kFailed, cause, ""};
}

ArchiveStatus Cancelled() {
  return {ArchiveStatus::kCancelled, "", ""};
}

std::string AlreadyThere(const std::string& file_name) {
  return Translated("\"%s\" already exists beside it.", {file_name});
}

bool Exists(const std::string& path) {
  return QueryFileSize(path.c_str()) != kSizeNothing;
}

StepWatch ItemStep(const ItemRun& run, const char* program, const std::string& step, double from,
                   double to, uint64_t bytes, std::function<double(Subprocess*)> measure) {
  const ItemProgress& where = run.where;
  double span = where.to - where.from;
  return {where.progress,
          {program, step, where.item, where.items, 0, 0, 0, 0},
          from,
          to,
          where.from + from * span,
          where.from + to * span,
          bytes,
          measure};
}
