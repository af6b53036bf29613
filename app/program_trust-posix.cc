#include "app/program_trust.h"

// A package installs for every user; a user's own setup is theirs alone.
std::string WhyNotForAllUsers(const std::string&) {
  return "";
}
