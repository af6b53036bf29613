#include "host/lines.h"

#include <utility>

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::string& line : SplitLines(text)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!line.empty())
      lines.push_back(std::move(line));
  }
  return lines;
}

std::string LastLines(const std::string& text, size_t max_lines, size_t max_bytes) {
  std::vector<std::string> lines = NonEmptyLines(text);
  std::string tail;
  for (size_t i = lines.size(), taken = 0; i > 0 && taken < max_lines; --i, ++taken) {
    std::string with = tail.empty() ? lines[i - 1] : lines[i - 1] + "\n" + tail;
    if (with.size() > max_bytes) {
      if (tail.empty()) {  // one long line: keep its end, from a character's start
        size_t cut = lines[i - 1].size() - max_bytes;
        while (cut < lines[i - 1].size() && (lines[i - 1][cut] & 0xC0) == 0x80)
          ++cut;
        tail = lines[i - 1].substr(cut);
      }
      break;
    }
    tail = with;
  }
  return tail;
}
