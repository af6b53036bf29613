#include "host/ui/progress.h"

#include <stdio.h>

std::string FormatBytes(uint64_t bytes) {
  if (bytes < 1024)
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  double value = bytes / 1024.0;
  size_t unit = 0;
  while (value >= 1023.95 && unit + 1 < sizeof(units) / sizeof(units[0])) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof(text), "%.1f %s", value, units[unit]);
  return text;
}

std::string FormatDoneOfTotal(uint64_t done, uint64_t total) {
  if (total == 0)
    return FormatBytes(done);  // counted so far, of what is not known yet
  return FormatBytes(done) + " of " + FormatBytes(total);
}

std::string FormatProgressLine(uint64_t done, uint64_t total, double seconds) {
  if (total == 0)
    return FormatBytes(done);
  unsigned percent = static_cast<unsigned>(done * 100.0 / total);
  std::string line = std::to_string(percent) + "%  " + FormatDoneOfTotal(done, total);
  if (seconds > 0)
    line += "  " + FormatBytes(static_cast<uint64_t>(done / seconds)) + "/s";
  return line;
}

std::string FormatTimeLeft(double seconds, double fraction) {
  // The first seconds and percent say little of the rest.
  if (seconds < 2 || fraction < 0.01 || fraction >= 1)
    return "";
  double left = seconds * (1 - fraction) / fraction;
  auto count = [](long n, const char* unit) {
    return "about " + std::to_string(n) + " " + unit + (n == 1 ? "" : "s") + " left";
  };
  if (left < 55)
    return count((static_cast<long>(left) / 5 + 1) * 5, "second");
  if (left < 90 * 60)
    return count(static_cast<long>(left / 60 + 0.5), "minute");
  return count(static_cast<long>(left / 3600 + 0.5), "hour");
}

std::string FormatFigures(const ProgressReport& report, double seconds) {
  std::string left = FormatTimeLeft(seconds, report.overall_fraction);
  return FormatDoneOfTotal(report.done, report.total) + (left.empty() ? "" : ", " + left);
}

std::string FormatItemOfItems(const ProgressReport& report) {
  if (report.items < 2)
    return "";
  return "item " + std::to_string(report.item) + " of " + std::to_string(report.items);
}
