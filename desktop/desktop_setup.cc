#include "desktop/desktop_setup.h"

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (size_t i = 0; i < names.size(); ++i)
    joined += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return joined;
}
