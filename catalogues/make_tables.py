#!/usr/bin/python3
"""Makes, from the catalogues, what the programs compile in.

make_tables.py POT ENTRIES_POT OUTPUT_FOLDER PO...

  entry_texts.inc         the entries' texts in every language (ENTRIES_POT
                          lists them), for the entries that carry them all
  strings.rc              Windows: a string table per language, and the
                          menu label's English one
  catalogue_ids.inc       Windows: each text's id in the tables
  catalogue_languages.inc Windows: each table's language and plural rule

A catalogue that is not whole, or whose language or plural rule this file
does not know, fails the build: tests/check-catalogues.sh says more.
"""
import os
import sys

import polib

# The menu labels' ids are fixed: MUIVerb names them in every installed
# registry ("@...arkiva.exe,-1"), and arkiva-shell.dll loads them.
LABEL = "Create tar.xz"
LABEL_ID = 1
ONE_LABEL = "Create one tar.xz"
ONE_LABEL_ID = 2
FIXED_IDS = {LABEL: LABEL_ID, ONE_LABEL: ONE_LABEL_ID}
FIRST_ID = 16
FORMS = 4  # ids a text with plural forms takes, one a form

# How Windows files each catalogue's table: the language alone where the
# catalogue is for all its speakers (LANG_x, SUBLANG_NEUTRAL), else with the
# region.
LANGUAGES = {
    "de": (0x07, 0x00), "es": (0x0A, 0x00), "fr": (0x0C, 0x00), "it": (0x10, 0x00),
    "ja": (0x11, 0x00), "ko": (0x12, 0x00), "nl": (0x13, 0x00), "pl": (0x15, 0x00),
    "pt_BR": (0x16, 0x01), "ru": (0x19, 0x00), "tr": (0x1F, 0x00), "zh_CN": (0x04, 0x02),
}
ENGLISH = (0x09, 0x01)  # en-US

# Plural-Forms, without spaces, as translation.h names the rule.
PLURAL_RULES = {
    "nplurals=1;plural=0;": "kOneForm",
    "nplurals=2;plural=(n!=1);": "kNotOne",
    "nplurals=2;plural=(n>1);": "kAboveOne",
    "nplurals=3;plural=(n%10==1&&n%100!=11?0:n%10>=2&&n%10<=4&&(n%100<10||n%100>=20)?1:2);":
        "kEastSlavic",
    "nplurals=3;plural=(n==1?0:n%10>=2&&n%10<=4&&(n%100<10||n%100>=20)?1:2);": "kPolish",
}


def fail(why):
    sys.exit("make_tables.py: " + why)


def literal(units, prefix, quote, other):
    """A C or resource-script string literal of `units` (bytes, or UTF-16
    units): printable ASCII as it is, `quote` for a quote, `other` for the
    rest, so that neither compiler's code page matters."""
    out = prefix + '"'
    for unit in units:
        char = chr(unit)
        if char == '"':
            out += quote
        elif char == "\\":
            out += "\\\\"
        elif 32 <= unit < 127:
            out += char
        else:
            out += other % unit
    return out + '"'


def c_string(text):
    return literal(text.encode("utf-8"), "", '\\"', "\\%03o")


def rc_string(text):
    data = text.encode("utf-16-le")
    return literal([data[i] | data[i + 1] << 8 for i in range(0, len(data), 2)], "L", '""',
                   "\\x%04x")


def ids(template):
    table, next_id = {}, FIRST_ID
    for entry in template:
        if entry.msgid in FIXED_IDS:
            table[entry.msgid] = FIXED_IDS[entry.msgid]
            continue
        table[entry.msgid] = next_id
        next_id += FORMS if entry.msgid_plural else 1
    for label in FIXED_IDS:
        if label not in table:
            fail("the template has no \"%s\"" % label)
    return table


def main(pot, entries_pot, output, po_files):
    template = polib.pofile(pot)
    entry_ids = ids(template)
    wanted_for_entries = {entry.msgid for entry in polib.pofile(entries_pot)}
    catalogues = []
    for path in sorted(po_files):
        name = os.path.basename(path)[:-3]
        if name not in LANGUAGES:
            fail("%s: no Windows language for it" % path)
        catalogue = polib.pofile(path)
        rule = PLURAL_RULES.get(catalogue.metadata.get("Plural-Forms", "").replace(" ", ""))
        if not rule:
            fail("%s: a plural rule translation.h does not know" % path)
        texts = {e.msgid: e for e in catalogue if e.translated() and not e.obsolete}
        missing = [entry.msgid for entry in template if entry.msgid not in texts]
        if missing:
            fail("%s: no words for %r" % (path, missing[0]))
        catalogues.append((name, rule, texts))

    with open(os.path.join(output, "entry_texts.inc"), "w") as out:
        for english in sorted(wanted_for_entries):
            for name, _, texts in catalogues:
                out.write("{%s, \"%s\", %s},\n" % (c_string(english), name,
                                                   c_string(texts[english].msgstr)))

    with open(os.path.join(output, "catalogue_ids.inc"), "w") as out:
        for english in sorted(entry_ids, key=lambda text: text.encode("utf-8")):
            out.write("{%s, %d},\n" % (c_string(english), entry_ids[english]))

    with open(os.path.join(output, "catalogue_languages.inc"), "w") as out:
        for name, rule, _ in catalogues:
            primary, sub = LANGUAGES[name]
            out.write("{\"%s\", 0x%04x, PluralRule::%s},\n" % (name, sub << 10 | primary, rule))

    with open(os.path.join(output, "strings.rc"), "w") as out:
        out.write("// Made by catalogues/make_tables.py from the catalogues.\n")
        out.write("LANGUAGE 0x%02x, 0x%02x\nSTRINGTABLE\nBEGIN\n" % ENGLISH)
        for label, number in FIXED_IDS.items():
            out.write("  %d, %s\n" % (number, rc_string(label)))
        out.write("END\n")
        for name, _, texts in catalogues:
            primary, sub = LANGUAGES[name]
            out.write("\n// %s\nLANGUAGE 0x%02x, 0x%02x\nSTRINGTABLE\nBEGIN\n" % (name, primary, sub))
            for english, first in sorted(entry_ids.items(), key=lambda item: item[1]):
                entry = texts[english]
                forms = ([entry.msgstr_plural[k] for k in sorted(entry.msgstr_plural)]
                         if entry.msgid_plural else [entry.msgstr])
                for k, form in enumerate(forms):
                    out.write("  %d, %s\n" % (first + k, rc_string(form)))
            out.write("END\n")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
