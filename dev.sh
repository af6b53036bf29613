#!/bin/bash
# The developer commands:
#   ./dev.sh test        install what is missing, build both presets, run every test
#   ./dev.sh run PATH    install what is missing, build the native program, run it on PATH
#   ./dev.sh package     build the release zip and MSI, build/windows/arkiva-<version>-win64.{zip,msi},
#                        and the Debian package, build/native/arkiva_<version>-1_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth xz-utils tar procps
          clang-14 libclang-rt-14-dev unzip dpkg-dev make patch wixl
          pkg-config liblzma-dev libxml2-dev libglib2.0-dev libkf5config-bin libnautilus-extension-dev lintian)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "dev.sh: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

case "${1:-}" in
  test)
    install_missing
    build native
    build windows
    status=0
    ctest --preset native || status=1
    # One X display for every Windows test that opens a window.
    xvfb-run -a ctest --preset windows || status=1
    exit $status
    ;;
  run)
    shift
    install_missing
    build native >/dev/null
    exec build/native/arkiva "$@"
    ;;
  package)
    install_missing
    build windows >/dev/null
    cmake --build --preset windows --target package msi
    build native >/dev/null
    cmake --build --preset native --target package
    ;;
  *)
    echo "usage: ./dev.sh test | ./dev.sh run PATH | ./dev.sh package" >&2
    exit 2
    ;;
esac
