#include "host/process/environment.h"

std::string EnvironmentName(const std::string& entry) {
  return entry.substr(0, entry.find('=', 1));
}

std::vector<std::string> MergeEnvironment(const std::vector<std::string>& current,
                                          const std::vector<std::string>& overrides,
                                          bool (*same_name)(const std::string&,
                                                            const std::string&)) {
  std::vector<std::string> merged;
  for (const std::string& entry : current) {
    bool replaced = false;
    for (const std::string& o : overrides)
      replaced |= same_name(EnvironmentName(entry), EnvironmentName(o));
    if (!replaced)
      merged.push_back(entry);
  }
  for (const std::string& o : overrides)
    if (o.find('=', 1) != std::string::npos)
      merged.push_back(o);
  return merged;
}
