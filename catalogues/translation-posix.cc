#include "catalogues/translation.h"

#include <langinfo.h>
#include <libintl.h>
#include <locale.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

// Set by the build: where the package puts the catalogues.
#ifndef ARKIVA_INSTALLED_LOCALE_DIR
#define ARKIVA_INSTALLED_LOCALE_DIR "/usr/share/locale"
#endif

namespace {

const char kDomain[] = "arkiva";

// A build's catalogues are in locale/ beside its programs; the package's
// where every program's are.
std::string CatalogueFolder() {
  char own[PATH_MAX];
  std::string path = realpath("/proc/self/exe", own) ? own : "";
  std::string beside = path.substr(0, path.rfind('/') + 1) + "locale";
  return access(beside.c_str(), X_OK) == 0 ? beside : ARKIVA_INSTALLED_LOCALE_DIR;
}

}  // namespace

void UseUsersLanguage() {
  setlocale(LC_ALL, "");
  // Figures arkiva writes for its window and reads from its records stay
  // "0.5", whatever the user's; the user's own are LocalDecimal's.
  setlocale(LC_NUMERIC, "C");
  bindtextdomain(kDomain, CatalogueFolder().c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string Translated(const char* english, const std::vector<std::string>& values) {
  // gettext's answer for "" is the catalogue's header.
  return FillIn(*english ? dgettext(kDomain, english) : "", values);
}

std::string TranslatedPlural(const char* one, const char* other, uint64_t n,
                             const std::vector<std::string>& values) {
  // ngettext's count is an unsigned long, which holds any count of files.
  return FillIn(dngettext(kDomain, one, other, static_cast<unsigned long>(n)), values);
}

std::string DecimalSeparator() {
  locale_t users = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (!users)
    return ".";
  std::string separator = nl_langinfo_l(RADIXCHAR, users);
  freelocale(users);
  return separator.empty() ? "." : separator;
}
