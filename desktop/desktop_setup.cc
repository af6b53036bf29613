#include "desktop/desktop_setup.h"

#include "catalogues/translation.h"

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (size_t i = 0; i < names.size(); ++i)
    joined = i == 0                  ? names[i]
             : i + 1 == names.size() ? Translated("%s and %s", {joined, names[i]})
                                     : Translated("%s, %s", {joined, names[i]});
  return joined;
}

#ifdef _WIN32
// Windows has no such entries: the registry holds its menu.
DesktopSetup SetUpDesktopEntries(const std::string&) {
  return {};
}
#endif
