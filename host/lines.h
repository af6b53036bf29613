#ifndef ARKIVA_HOST_LINES_H_
#define ARKIVA_HOST_LINES_H_

#include <stddef.h>

#include <string>
#include <vector>

// Text taken apart into lines, the one way every part does it: what
// programs said, records, stores, the progress window's details.

// The lines of `text`, each without its '\n', as they stand (a CR stays);
// a last line without '\n' counts, nothing after a final '\n' does.
std::vector<std::string> SplitLines(const std::string& text);

// The non-empty lines of `text`, CR LF read as LF.
std::vector<std::string> NonEmptyLines(const std::string& text);

// The last `max_lines` non-empty lines of `text`, at most about `max_bytes`
// of them (earlier lines go first; a single longer line keeps its end),
// CR LF read as LF. Never cuts a UTF-8 character.
std::string LastLines(const std::string& text, size_t max_lines, size_t max_bytes);

#endif  // ARKIVA_HOST_LINES_H_
