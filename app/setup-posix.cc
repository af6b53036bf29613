#include "app/setup.h"

#include "registry/registry.h"

bool MenuIsOnlyInstalled() {
  // Installed for every user: the package's store holds the key, the user's
  // does not until this user has set up.
  return RegistryKeyIsOnlyInstalled(kFolderMenuKey);
}
