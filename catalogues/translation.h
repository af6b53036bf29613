#ifndef ARKIVA_CATALOGUES_TRANSLATION_H_
#define ARKIVA_CATALOGUES_TRANSLATION_H_

#include <stdint.h>

#include <string>
#include <vector>

// Every text a person sees is written in English where it is made, inside
// one of the calls below: xgettext finds it there for catalogues/arkiva.pot,
// and each language's catalogue (catalogues/<language>.po) gives its words.
// A text a catalogue has no words for stays English, exactly as written.
//
// A text's values go where its "%s" stand, in turn, or where "%1$s", "%2$s"
// say, so that a language can put them in its own order; "%%" is one "%".
// Catalogues are in gettext's format: POSIX reads them with glibc's gettext,
// Windows from the string tables they are compiled into (one per language).

// Makes the rest of the process speak the user's language. POSIX: from
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG, as every desktop program reads
// them; numbers are still written and read the C way inside the process.
// Windows: the user's display languages, first to last.
void UseUsersLanguage();

// `english` in the user's language, its values filled in.
std::string Translated(const char* english, const std::vector<std::string>& values = {});

// The form for `n` (such as "%s archives" for 3), in the user's language.
std::string TranslatedPlural(const char* one, const char* other, uint64_t n,
                             const std::vector<std::string>& values = {});

// The menu labels' ids in arkiva.exe's string tables, which make_tables.py
// keeps: registries name them ("@C:\...\arkiva.exe,-1") for Explorer to
// load. "Create tar.xz", then "Create one tar.xz".
const int kMenuLabelStringId = 1;
const int kOneMenuLabelStringId = 2;

// Marks a text kept in a constant: it is translated where it is shown.
#define TRANSLATABLE(english) english

// `pattern` with its placeholders filled by `values`; a placeholder with no
// value is left out.
std::string FillIn(const std::string& pattern, const std::vector<std::string>& values);

// The user's decimal separator: "," in German.
std::string DecimalSeparator();

// "1.5", as printf writes it in the C locale, the user's way: "1,5".
std::string LocalDecimal(const std::string& c_decimal);

// A text of the entries in every language that has words for it, for the
// entries that carry them all (Name[de]=...): the language as gettext names
// it ("de", "pt_BR"), and its text.
struct LanguageText {
  const char* language;
  const char* text;
};
std::vector<LanguageText> EveryTranslation(const char* english);

// The catalogue to use for a language the user reads, from the names of
// those there are ("de", "pt_BR", "zh_CN"): the language and region first
// (pt-BR, de_AT), then the language alone (de, not pt); Simplified Chinese
// by script or region (zh-Hans, zh-SG) as zh_CN. -1 for none.
int CatalogueFor(const std::string& language, const std::vector<std::string>& catalogues);

// The plural rules of the languages arkiva has catalogues for, as their
// Plural-Forms headers give them: which form `n` takes.
enum class PluralRule { kOneForm, kNotOne, kAboveOne, kEastSlavic, kPolish };
int PluralForm(PluralRule rule, uint64_t n);

#endif  // ARKIVA_CATALOGUES_TRANSLATION_H_
