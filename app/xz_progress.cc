#include "app/xz_progress.h"

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
