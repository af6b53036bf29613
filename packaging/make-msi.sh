#!/bin/bash
# Builds the MSI from the build folder: installs the release's files into
# STAGE (signing the programs as they go in), runs wixl there, and signs the
# MSI (packaging/sign-release.sh).
#   make-msi.sh BUILD_DIR STAGE OUTPUT
set -euo pipefail
build=$1
stage=$2
output=$3
cmake --install "$build" --prefix "$stage" >/dev/null
[ "$build/msi/arkiva.wxs" -ef "$stage/arkiva.wxs" ] || cp "$build/msi/arkiva.wxs" "$stage/"
rm -f "$output"
(cd "$stage" && wixl -a x64 -o "$output" arkiva.wxs)
bash "$(dirname "$0")/sign-release.sh" "$output"
