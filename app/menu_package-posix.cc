#include "app/menu_package.h"

#include "catalogues/translation.h"

// The Linux file managers have no packaged menu.
bool HasPackagedMenu() {
  return false;
}

PackageRegistration RegisterMenuPackage(const std::string&) {
  return {PackageRegistration::kFailed, Translated("only Windows 11 has such a menu.")};
}

PackageRegistration RemoveMenuPackage() {
  return {PackageRegistration::kRegistered, ""};
}

PackageRegistration RemoveMenuPackageForAllUsers() {
  return {PackageRegistration::kRegistered, ""};
}

bool MachineRunsMenuHandler() {
  return false;
}
