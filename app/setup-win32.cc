#include "app/setup.h"

// The MSI writes the machine-wide keys, which every user's Explorer reads:
// nothing is left for a user's own setup.
bool MenuIsOnlyInstalled() {
  return false;
}
