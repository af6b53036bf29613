#ifndef ARKIVA_APP_DROP_TARGET_H_
#define ARKIVA_APP_DROP_TARGET_H_

#include <stddef.h>

#include <string>
#include <vector>

// Windows: the verbs' drop target. Explorer hands a verb with a DropTarget
// its whole selection, any number of items, through the class the verb
// names: COM starts arkiva.exe -Embedding (the class's LocalServer32), and
// Explorer drops the selection on the object it makes. One selection is one
// process; the items are archived after Explorer has let go.

// How COM started this process, if it did: the next argument is -Embedding
// or /Embedding (in either case), after "--one" for "Create one tar.xz"'s
// class; both are handed out, so that neither is ever taken for an item.
// POSIX: never.
enum class ComStart { kNotByCom, kEachItem, kOneArchive };
#ifdef _WIN32
ComStart StartedByCom();

// Serves the class that `start` names until Explorer has dropped a selection and let the object
// go, or made one and let it go without a drop, or dropped nothing for about
// 30 s (an object it holds included). A second drop is refused. Returns the
// paths of the dropped items, in their order; none when nothing was
// dropped, or what was dropped held no file-system paths.
std::vector<std::string> ReceiveDroppedItems(ComStart start);

// The paths a DROPFILES block of `size` bytes (CF_HDROP's data) holds, in
// their order: the names from its pFiles offset on, each ended by a zero,
// the list by an empty one; UTF-16 when fWide, else in the ANSI code page.
// A name the block's end cuts off is left out. Read once, and never past the block's end:
// DragQueryFile walks from the first name for every index, which takes minutes for 100,000 items.
std::vector<std::string> DroppedPaths(const void* block, size_t size);
#else
// The Linux file managers pass the selection on the command line.
inline ComStart StartedByCom() {
  return ComStart::kNotByCom;
}
inline std::vector<std::string> ReceiveDroppedItems(ComStart) {
  return {};
}
#endif

#endif  // ARKIVA_APP_DROP_TARGET_H_
