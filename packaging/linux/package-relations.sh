#!/bin/sh
# package-relations.sh ARKIVA [WINDOW]: the package's relations, as a CMake
# script for cpack. What arkiva links is Depends. What the progress window
# links is only Recommends: without it a run shows zenity's window where
# that is installed, or none, and a desktop without GTK still archives.
set -e
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/debian"
printf 'Source: arkiva\n\nPackage: arkiva\nArchitecture: any\n' >"$work/debian/control"
fields=$(cd "$work" && dpkg-shlibdeps -O -e"$1" ${2:+-dRecommends -e"$2"})
field() { printf '%s\n' "$fields" | sed -n "s/^shlibs:$1=//p"; }
printf 'set(CPACK_DEBIAN_PACKAGE_DEPENDS "xz-utils, tar (>= 1.30), %s")\n' "$(field Depends)"
printf 'set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "%s")\n' "$(field Recommends)"
