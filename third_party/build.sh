#!/bin/bash
# Builds the tar.exe and xz.exe that ship beside arkiva.exe: libarchive's
# bsdtar (the tar Windows itself ships) and xz, from Debian's source packages
# (xz from Debian 13's, for its filter chain a block), cross-compiled with
# mingw-w64, static, with a UTF-8 code page manifest.
#
#   third_party/build.sh     prints the folder that holds tar.exe, xz.exe,
#                            their licences, VERSIONS.txt and liblzma/ (the
#                            static library and its headers)
#
# The result is cached under $ARKIVA_CACHE (default ~/.cache/arkiva), keyed by
# this recipe, so a second build of any checkout reuses it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${ARKIVA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/arkiva}
recipe=$(cat "$here/build.sh" "$here/libarchive-utf8-acp.patch" \
           "$here/libarchive-walk-past-unreadable.patch" "$here/libarchive-owner-writes-only.patch" \
           "$here/libarchive-regular-stdout-unpadded.patch" \
           "$here/libarchive-times-before-1970.patch" \
           "$here/utf8.manifest" |
         sha256sum | cut -c1-16)
out=$cache/windows-programs-$recipe
mkdir -p "$cache"

exec 9>"$cache/lock"
flock 9
if [ -f "$out/VERSIONS.txt" ]; then
  echo "third_party: tar.exe and xz.exe from the cache, $out" >&2
  echo "$out"
  exit 0
fi

work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log
fail() {
  echo "third_party/build.sh: $1 (last lines of the log follow)" >&2
  tail -n 30 "$log" >&2
  exit 1
}
cross=x86_64-w64-mingw32

# A deb-src twin of every deb entry in the machine's own apt sources, used
# through a private list folder: the system's apt configuration and lists
# are never touched.
apt_dir=$work/apt
mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /(^|\n)Types:([^\n]*[ \t])?deb([ \t\n]|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
done >"$apt_dir/parts/debian.sources"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f"
done >"$apt_dir/parts/debian.list"
apt_in() {
  apt-get -q -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$1/parts" \
    -o "Dir::State::Lists=$1/lists" -o "Dir::Cache=$1/cache" -o "APT::Sandbox::User=$(id -un)" \
    "${@:2}"
}
apt=(apt_in "$apt_dir")
# xz-utils from Debian 13 (trixie), at the same mirror, through a list of
# its own: of its source package the mirror keeps the upstream tarball,
# which apt checks against the signed index as it fetches it.
trixie_dir=$work/apt-trixie
mkdir -p "$trixie_dir/parts" "$trixie_dir/lists/partial" "$trixie_dir/cache/archives/partial"
mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources \
           2>/dev/null | head -n 1)
echo "deb-src ${mirror:-http://deb.debian.org/debian} trixie main" >"$trixie_dir/parts/trixie.list"
echo "third_party: fetching the sources of xz-utils and libarchive from Debian" >&2
"${apt[@]}" update >>"$log" 2>&1 || fail "apt-get update of the deb-src list failed"
apt_in "$trixie_dir" update >>"$log" 2>&1 || fail "apt-get update of trixie's deb-src list failed"
mkdir -p "$work/src"
(cd "$work/src" && "${apt[@]}" source --download-only libarchive) >>"$log" 2>&1 ||
  fail "apt-get source failed"
mkdir -p "$work/xz"
(cd "$work/xz" && apt_in "$trixie_dir" source --download-only xz-utils) >>"$log" 2>&1 || true
xz_tarball=$(ls "$work"/xz/xz-utils_*.orig.tar.xz 2>/dev/null | head -n 1)
[ -n "$xz_tarball" ] || fail "apt-get source could not fetch xz-utils from trixie"
tar -xf "$xz_tarball" -C "$work/src" >>"$log" 2>&1 || fail "the xz tarball does not unpack"
# dpkg-source checks the .dsc signature and every file's checksum.
for dsc in "$work"/src/*.dsc; do
  (cd "$work/src" && dpkg-source -x "$dsc") >>"$log" 2>&1 || fail "dpkg-source -x $dsc failed"
done
xz_src=$(echo "$work"/src/xz-*/)
la_src=$(echo "$work"/src/libarchive-*/)

# The manifest as a resource object that both links take in.
printf '1 24 "%s"\n' "$here/utf8.manifest" >"$work/manifest.rc"
$cross-windres "$work/manifest.rc" -O coff -o "$work/manifest.o"
export CC=$cross-gcc-posix

echo "third_party: building xz.exe" >&2
(cd "$xz_src" &&
 ./configure --host=$cross --disable-nls --disable-shared --enable-static \
   --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
   --disable-scripts --disable-doc &&
 make -j"$(nproc)" -C src/liblzma &&
 make -j"$(nproc)" -C src/xz LDFLAGS="-static $work/manifest.o") >>"$log" 2>&1 ||
  fail "the xz build failed"

no_libraries=()
for lib in OPENSSL MBEDTLS NETTLE LIBB2 LZ4 LZO LZMA ZSTD ZLIB BZip2 LIBXML2 EXPAT PCREPOSIX \
           LIBGCC CNG ICONV CPIO CAT TEST INSTALL; do
  no_libraries+=("-DENABLE_$lib=OFF")
done
build_bsdtar() {
  cmake -S "$la_src" -B "$work/la-build" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$cross-gcc-posix -DCMAKE_RC_COMPILER=$cross-windres \
    -DCMAKE_FIND_ROOT_PATH=/usr/$cross -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_SHARED_LIBS=OFF -DENABLE_TAR=ON -DENABLE_TAR_SHARED=OFF \
    -DPOSIX_REGEX_LIB=NONE "${no_libraries[@]}" -DCMAKE_EXE_LINKER_FLAGS="$1" >>"$log" 2>&1 &&
    cmake --build "$work/la-build" --target bsdtar >>"$log" 2>&1
}

staging=$work/out
mkdir -p "$staging/tests"
# The tar Windows itself ships (System32\tar.exe): the same bsdtar with no
# manifest and no patch, which reads a name without a charset in the old
# code page. Only the receivers' test runs it; it is never shipped.
echo "third_party: building Windows' own tar.exe, for the tests" >&2
build_bsdtar "-static" || fail "the libarchive build failed"
$cross-strip -o "$staging/tests/windows-tar.exe" "$work/la-build/bin/bsdtar.exe"

echo "third_party: building tar.exe (bsdtar)" >&2
for p in libarchive-utf8-acp libarchive-walk-past-unreadable libarchive-regular-stdout-unpadded \
         libarchive-owner-writes-only libarchive-times-before-1970; do
  (cd "$la_src" && patch -p1 <"$here/$p.patch") >>"$log" 2>&1 ||
    fail "the libarchive patch $p.patch does not apply"
done
build_bsdtar "-static $work/manifest.o" || fail "the libarchive build failed"
$cross-strip -o "$staging/xz.exe" "$xz_src/src/xz/.libs/xz.exe" 2>/dev/null ||
  $cross-strip -o "$staging/xz.exe" "$xz_src/src/xz/xz.exe"
$cross-strip -o "$staging/tar.exe" "$work/la-build/bin/bsdtar.exe"
# liblzma too, for arkiva.exe's own check that xz's output is whole.
mkdir -p "$staging/liblzma/include/lzma"
cp "$xz_src/src/liblzma/.libs/liblzma.a" "$staging/liblzma/"
cp "$xz_src/src/liblzma/api/lzma.h" "$staging/liblzma/include/"
cp "$xz_src"/src/liblzma/api/lzma/*.h "$staging/liblzma/include/lzma/"
cp "$xz_src/COPYING" "$staging/COPYING-xz.txt"
cp "$xz_src/COPYING.LGPLv2.1" "$staging/COPYING-xz-LGPLv2.1.txt"
cp "$xz_src/COPYING.0BSD" "$staging/COPYING-xz-0BSD.txt"
cp "$la_src/COPYING" "$staging/COPYING-libarchive.txt"
{
  for dsc in "$work"/src/*.dsc; do
    sed -n 's/^Source: //p; s/^Version: //p' "$dsc" | paste -sd' '
  done
  basename "$xz_tarball" .orig.tar.xz | tr _ ' '

} >"$staging/VERSIONS.txt"
rm -rf "$out"
mv "$staging" "$out"
echo "$out"
