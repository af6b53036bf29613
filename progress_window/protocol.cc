#include "progress_window/protocol.h"

#include <stdio.h>

#include "catalogues/translation.h"
#include "host/escaped_text.h"
#include "host/lines.h"

namespace {

// A value is one line: a name may hold any byte but '/' and NUL.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  return text;
}

std::string Setting(const char* name, const std::string& value) {
  return std::string(name) + " " + OneLine(value) + "\n";
}

std::string Fraction(double fraction) {
  char text[16];
  snprintf(text, sizeof(text), "%.3f", fraction < 0 ? 0 : fraction > 1 ? 1 : fraction);
  return text;
}

// zenity reads its label with C escapes (g_strcompress).
std::string ZenityText(const std::string& text) {
  return EscapedText(OneLine(text), {{'\\', "\\\\"}});
}

}  // namespace

std::string WindowLines(WindowKind kind, const ProgressReport& report, double seconds) {
  std::string item = FormatItemOfItems(report);
  std::string figures = FormatFigures(report, seconds);
  if (kind == kZenityWindow) {
    std::string label =
        ZenityText(item.empty() ? report.step : Translated("%s (%s)", {report.step, item}));
    double percent = report.overall_fraction * 100;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    return "# " + label + "\\n" + ZenityText(figures) + "\n" +
           std::to_string(static_cast<int>(percent)) + "\n";
  }
  // The window shows where the run stands on a line of its own.
  if (report.items > 1)
    item = Translated("Item %s of %s", {std::to_string(report.item), std::to_string(report.items)});
  return Setting("step", report.step) + Setting("item", item) +
         Setting("bar", Fraction(report.item_fraction)) +
         Setting("overall", Fraction(report.overall_fraction)) + Setting("figures", figures);
}

std::string NoticeLines(const std::string& notice, const std::string& details) {
  std::string lines = Setting("notice", notice);
  for (const std::string& detail : SplitLines(details))
    lines += Setting("detail", detail);
  return lines;
}

CommandArguments ZenityArguments(const std::string& title) {
  return {"--progress --percentage=0 --width=460", {"--title=" + title, "--text= "}};
}

CommandArguments ZenityNoticeArguments(const std::string& notice, const std::string& details) {
  std::string text = details.empty() ? notice : notice + "\n" + details;
  return {"--notification", {"--text=" + text}};
}
