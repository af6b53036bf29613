#ifndef ARKIVA_ENTRY_LABEL_H_
#define ARKIVA_ENTRY_LABEL_H_

/* Marks a text of the entries, which carry it in every language the
 * catalogues have (catalogues/translation.h). */
#define ENTRY_TEXT(english) english

/* The entry's label in every context menu, and the title of what arkiva
 * shows while it archives. The registry keys are named after it, so they are
 * built from it where they are written. Plain C, for the GNOME Files module. */
/* TRANSLATORS: the menu entry: the verb phrase your language's file managers
 * use for such entries ("Compress..."), with "tar.xz" as it is. */
#define ARKIVA_ENTRY_LABEL ENTRY_TEXT("Create tar.xz")

/* TRANSLATORS: the second menu entry, shown for two or more items: one
 * archive of the whole selection, with "tar.xz" as it is. */
#define ARKIVA_ONE_ENTRY_LABEL ENTRY_TEXT("Create one tar.xz")

#ifdef __cplusplus
inline constexpr char kEntryLabel[] = ARKIVA_ENTRY_LABEL;
inline constexpr char kOneEntryLabel[] = ARKIVA_ONE_ENTRY_LABEL;
#endif

#endif /* ARKIVA_ENTRY_LABEL_H_ */
