#include "catalogues/translation.h"

#include <windows.h>

#include <string.h>

#include <algorithm>

namespace {

// The string tables' ids of the catalogues' texts, made at build time:
// {english, id}, by english as strcmp orders it. A text with plural forms
// has one id a form, from its own on.
struct CatalogueString {
  const char* english;
  unsigned id;
};
const CatalogueString kStrings[] = {
#include "catalogue_ids.inc"
};

// Each catalogue's string table, by the language Windows files it under.
struct Catalogue {
  const char* name;
  LANGID language;
  PluralRule plural;
};
const Catalogue kCatalogues[] = {
#include "catalogue_languages.inc"
};

// The user's catalogue, or null for English: chosen once, at start, for the
// whole process, as POSIX's locale is.
const Catalogue* g_catalogue;

// The catalogues sit below every other part, so they convert for themselves.
std::string Narrow(const wchar_t* text, int length) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text, length, &narrow[0], size, nullptr, nullptr);
  return narrow;
}

unsigned IdOf(const char* english) {
  const CatalogueString* end = kStrings + sizeof(kStrings) / sizeof(kStrings[0]);
  const CatalogueString* found =
      std::lower_bound(kStrings, end, english, [](const CatalogueString& entry, const char* text) {
        return strcmp(entry.english, text) < 0;
      });
  return found != end && strcmp(found->english, english) == 0 ? found->id : 0;
}

// String `id` of arkiva.exe's table for `language`; "" where it has none.
// A block of the table holds 16 strings, each after its length.
std::string LoadStringIn(LANGID language, unsigned id) {
  if (id == 0)
    return "";
  HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(6) /* RT_STRING */,
                                MAKEINTRESOURCEW(id / 16 + 1), language);
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const WCHAR* text = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!text)
    return "";
  for (unsigned i = 0; i < id % 16; ++i)
    text += 1 + *text;
  return Narrow(text + 1, *text);
}

std::string InCatalogue(const char* english, unsigned form) {
  unsigned id = IdOf(english);
  return g_catalogue && id ? LoadStringIn(g_catalogue->language, id + form) : "";
}

}  // namespace

void UseUsersLanguage() {
  ULONG count = 0, size = 0;
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0)
    return;
  std::wstring languages(size, L'\0');
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, &languages[0], &size))
    return;
  std::vector<std::string> names;
  for (const Catalogue& catalogue : kCatalogues)
    names.push_back(catalogue.name);
  // "de-DE\0en-US\0\0": the first the catalogues serve.
  for (const wchar_t* language = languages.c_str(); *language; language += wcslen(language) + 1) {
    int found = CatalogueFor(Narrow(language, static_cast<int>(wcslen(language))), names);
    if (found >= 0) {
      g_catalogue = &kCatalogues[found];
      return;
    }
  }
}

std::string Translated(const char* english, const std::vector<std::string>& values) {
  std::string text = InCatalogue(english, 0);
  return FillIn(text.empty() ? english : text, values);
}

std::string TranslatedPlural(const char* one, const char* other, uint64_t n,
                             const std::vector<std::string>& values) {
  std::string text = g_catalogue ? InCatalogue(one, PluralForm(g_catalogue->plural, n)) : "";
  return FillIn(!text.empty() ? text : n == 1 ? one : other, values);
}

std::string DecimalSeparator() {
  wchar_t separator[8];
  int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  return n > 1 ? Narrow(separator, n - 1) : ".";
}
