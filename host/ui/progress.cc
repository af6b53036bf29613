#include "host/ui/progress.h"

#include <stdio.h>

#include "catalogues/translation.h"

std::string FormatBytes(uint64_t bytes) {
  if (bytes < 1024)
    return TranslatedPlural("%s byte", "%s bytes", bytes, {std::to_string(bytes)});
  // TRANSLATORS: sizes, as the system's file manager writes them ("1,5 Mo").
  const char* units[] = {TRANSLATABLE("%s KB"), TRANSLATABLE("%s MB"), TRANSLATABLE("%s GB"),
                         TRANSLATABLE("%s TB"), TRANSLATABLE("%s PB"), TRANSLATABLE("%s EB")};
  double value = bytes / 1024.0;
  size_t unit = 0;
  while (value >= 1023.95 && unit + 1 < sizeof(units) / sizeof(units[0])) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof(text), "%.1f", value);
  return Translated(units[unit], {LocalDecimal(text)});
}

std::string FormatDoneOfTotal(uint64_t done, uint64_t total) {
  if (total == 0)
    return FormatBytes(done);  // counted so far, of what is not known yet
  return Translated("%s of %s", {FormatBytes(done), FormatBytes(total)});
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
  if (left < 55) {
    long n = (static_cast<long>(left) / 5 + 1) * 5;
    return TranslatedPlural("about %s second left", "about %s seconds left", n,
                            {std::to_string(n)});
  }
  if (left < 90 * 60) {
    long n = static_cast<long>(left / 60 + 0.5);
    return TranslatedPlural("about %s minute left", "about %s minutes left", n,
                            {std::to_string(n)});
  }
  long n = static_cast<long>(left / 3600 + 0.5);
  return TranslatedPlural("about %s hour left", "about %s hours left", n, {std::to_string(n)});
}

std::string FormatFigures(const ProgressReport& report, double seconds) {
  std::string left = FormatTimeLeft(seconds, report.overall_fraction);
  std::string done = FormatDoneOfTotal(report.done, report.total);
  return left.empty() ? done : Translated("%s, %s", {done, left});
}

std::string FormatItemOfItems(const ProgressReport& report) {
  if (report.items < 2)
    return "";
  return Translated("item %s of %s", {std::to_string(report.item), std::to_string(report.items)});
}
