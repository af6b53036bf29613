#!/bin/sh
# The catalogues as translators' tools and msgfmt read them: the template is
# what xgettext finds in the code today, and each catalogue of LINGUAS gives
# words for every text of the template and no other, none fuzzy, with the
# template's placeholders and plural forms (msgfmt -c, after the template's
# flags are merged in, so that a translator cannot drop a check).
#   check-catalogues.sh SOURCE_DIR
set -eu
cd "$1/catalogues"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

sh ./extract.sh "$work/now.pot"
if ! diff -u -I '^"POT-Creation-Date:' arkiva.pot "$work/now.pot"; then
  echo "arkiva.pot is not current: run catalogues/extract.sh catalogues/arkiva.pot"
  status=1
fi

texts=$(msgattrib --no-obsolete arkiva.pot | grep -c '^msgid "' || true)
texts=$((texts - 1))  # the header
for language in $(cat LINGUAS); do
  msgmerge -q --no-fuzzy-matching --previous -o "$work/$language.po" "$language.po" arkiva.pot
  said=$(msgfmt -c --statistics -o /dev/null "$work/$language.po" 2>&1) || status=1
  echo "$language: $said"
  [ "$said" = "$texts translated messages." ] || status=1
  if msgattrib --only-obsolete "$work/$language.po" | grep -q '^#~ msgid'; then
    echo "$language: has texts the template no longer holds"
    status=1
  fi
done
exit $status
