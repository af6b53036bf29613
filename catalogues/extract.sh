#!/bin/sh
# catalogues/extract.sh [--entries] OUTPUT
# Writes the template of every text arkiva shows, as xgettext finds it in
# the code; with --entries, of the entries' texts only, which the entries
# carry in every language. After a text changed in the code:
#   catalogues/extract.sh catalogues/arkiva.pot
#   for po in catalogues/*.po; do msgmerge -U -N "$po" catalogues/arkiva.pot; done
set -eu
keywords="-kTranslated -kTranslatedPlural:1,2 -kTRANSLATABLE -kENTRY_TEXT -kdgettext:2"
if [ "$1" = --entries ]; then
  keywords="-kENTRY_TEXT"
  shift
fi
output=$(realpath "$1")
cd "$(dirname "$0")/.."
# shellcheck disable=SC2046,SC2086
xgettext --language=C++ --from-code=UTF-8 -k $keywords \
  --flag=Translated:1:c-format --flag=TranslatedPlural:1:c-format \
  --flag=TranslatedPlural:2:c-format --flag=TRANSLATABLE:1:c-format \
  --add-comments=TRANSLATORS: --add-location=file --package-name=arkiva \
  --msgid-bugs-address=dev@arkiva.example --output="$output" \
  $(find entry_label.h app catalogues desktop host nautilus progress_window registry run_record \
         windows11 -name '*.c' -o -name '*.cc' -o -name '*.h' | LC_ALL=C sort)
sed -i 's/charset=CHARSET/charset=UTF-8/' "$output"
