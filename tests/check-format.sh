#!/bin/sh
# The product code and the tests as clang-format writes them (.clang-format):
# lists each file it would change, and fails then.
#   check-format.sh SOURCE_DIR
set -eu
cd "$1"
git ls-files -co --exclude-standard '*.c' '*.cc' '*.h' | grep -v '^third_party/' |
  xargs clang-format-14 --dry-run --Werror
