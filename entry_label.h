#ifndef ARKIVA_ENTRY_LABEL_H_
#define ARKIVA_ENTRY_LABEL_H_

/* The entry's label in every context menu, and the title of what arkiva
 * shows while it archives. The registry keys are named after it, so they are
 * built from it where they are written. Plain C, for the GNOME Files module. */
#define ARKIVA_ENTRY_LABEL "Create tar.xz"

#ifdef __cplusplus
inline constexpr char kEntryLabel[] = ARKIVA_ENTRY_LABEL;
#endif

#endif /* ARKIVA_ENTRY_LABEL_H_ */
