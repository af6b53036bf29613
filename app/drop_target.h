#ifndef ARKIVA_APP_DROP_TARGET_H_
#define ARKIVA_APP_DROP_TARGET_H_

#include <string>
#include <vector>

// Windows: the verbs' drop target. Explorer hands a verb with a DropTarget
// its whole selection, any number of items, through the class the verb
// names: COM starts arkiva.exe -Embedding (the class's LocalServer32), and
// Explorer drops the selection on the object it makes. One selection is one
// process; the items are archived after Explorer has let go.

// Whether COM started this process: the next argument is -Embedding or
// /Embedding (in either case), which it hands out, so that the word is never
// taken for an item. POSIX: never.
bool StartedByCom();

// Serves the class until Explorer has dropped a selection and let the object
// go, or made one and let it go without a drop, or dropped nothing for about
// 30 s (an object it holds included). A second drop is refused. Returns the
// paths of the dropped items, in their order; none when nothing was
// dropped, or what was dropped held no file-system paths.
std::vector<std::string> ReceiveDroppedItems();

#endif  // ARKIVA_APP_DROP_TARGET_H_
