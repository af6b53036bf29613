#!/bin/bash
# The developer commands:
#   ./dev.sh quick       the loop while you work: build the native program and run every
#                        test that needs neither Wine, nor a desktop, nor an installed
#                        package, nor the fuzzers (about a minute once built)
#   ./dev.sh test        install what is missing, build every preset, run every test: the
#                        native ones (the code's style and rooms included), the same unit
#                        tests under the sanitizers, the desktop test, the Windows ones under Wine,
#                        and the receivers' test: both makers' archives opened by every
#                        common reader (tests/receivers/check.py)
#   ./dev.sh run PATH    install what is missing, build the native program, set up its
#                        entries where they are not yet, and archive PATH
#   ./dev.sh package     build the release zip and MSI, build/windows/arkiva-<version>-win64.{zip,msi},
#                        the Debian package, build/native/arkiva_<version>-1_amd64.deb, and the
#                        RPM for Fedora and openSUSE, build/rpm/arkiva-<version>-1.x86_64.rpm
#   ./dev.sh screenshots the pictures in docs/images, made again from the real programs
#                        under Xvfb: Thunar's menu, the progress window, arkiva.exe under Wine
#   ./dev.sh desktop-test  the entries in Debian's own file managers, right-clicked under
#                        Xvfb: per user, then from the package (installed, then purged);
#                        ./dev.sh test runs it too
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth xz-utils tar procps strace
          clang-14 libclang-rt-14-dev clang-format-14 unzip dpkg-dev make patch wixl
          pkg-config liblzma-dev libxml2-dev libglib2.0-dev libkf5config-bin libnautilus-extension-dev lintian
          libgtk-3-dev xdotool dbus python3-gi python3-xlib
          imagemagick osslsigncode openssl python3-cryptography msitools
          softhsm2 libengine-pkcs11-openssl gettext python3-polib desktop-file-utils
          rpm rpmlint sway grim
          locales-all  # de_DE.UTF-8, ja_JP.UTF-8, ru_RU.UTF-8...: the tests speak them
          libarchive-tools 7zip)  # bsdtar and 7zz, two of the readers an archive meets

# What the desktop test needs: the managers themselves, with what each needs
# to show entries (libfm-modules for PCManFM, caja-actions for Caja's
# actions), AT-SPI to find the menu items, and tesseract to read Dolphin's.
DESKTOP_PACKAGES=(thunar pcmanfm libfm-modules nemo caja caja-actions nautilus dolphin
                  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus dbus-x11 xdotool
                  imagemagick libglib2.0-bin tesseract-ocr tesseract-ocr-eng tesseract-ocr-deu)

install_missing() {
  local missing=()
  for p in "$@"; do
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

# The RPM: the native build with Fedora's folders, packaged.
build_rpm() {
  build rpm >/dev/null
  (cd build/rpm && cpack >/dev/null)
}

# Runs a step of the test run and says how long it took.
timed() {
  local name=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  echo "dev.sh: $name took $((SECONDS - start)) s"
  return $rc
}

# The entries in the real managers: per user, then from the package
# (installed, then purged). Needs the native build.
desktop_test() {
  local status=0
  /usr/bin/python3 tests/desktop/managers.py build/native/arkiva || status=1
  if dpkg-query -W -f='${Status}' arkiva 2>/dev/null | grep -q "ok installed"; then
    echo "dev.sh: arkiva is installed on this machine already; the package's entries are not checked"
  else
    cmake --build --preset native --target package >/dev/null
    dpkg -i build/native/arkiva_*-1_amd64.deb >/dev/null
    /usr/bin/python3 tests/desktop/managers.py /usr/bin/arkiva --package || status=1
    # Once more in a German session: the label a German user clicks.
    /usr/bin/python3 tests/desktop/managers.py /usr/bin/arkiva --package --language de_DE.UTF-8 \
      thunar dolphin nautilus || status=1
    dpkg --purge arkiva >/dev/null
  fi
  return $status
}

case "${1:-}" in
  quick)
    install_missing "${PACKAGES[@]}"
    build native >/dev/null
    ctest --preset quick
    ;;
  test)
    timed "installing what was missing" install_missing "${PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}"
    timed "the native build" build native
    timed "the sanitizer build" build sanitize
    timed "the Windows build" build windows
    status=0
    timed "the native tests" ctest --preset native || status=1
    timed "the sanitizer tests" ctest --preset sanitize || status=1
    timed "the desktop test" desktop_test || status=1
    timed "the RPM" eval 'build_rpm && bash tests/check-rpm.sh build/rpm' || status=1
    # The Wine prefix is made once, before the tests share it: a test that
    # met a prefix still being made could hang on its way out.
    xvfb-run -a build/windows/wine-run --version >/dev/null
    # One X display for every Windows test that opens a window. Wine 8 still,
    # rarely, leaves a finished test process hanging on its way out (a test
    # that printed OK, then timed out): a test that timed out runs once more;
    # one that fails, or hangs twice, fails the run.
    timed "the Windows tests" xvfb-run -a ctest --preset windows --repeat after-timeout:2 || status=1
    timed "the receivers' test" xvfb-run -a python3 tests/receivers/check.py build/native/arkiva \
      build/windows || status=1
    exit $status
    ;;
  run)
    shift
    install_missing "${PACKAGES[@]}"
    cmake --preset native >/dev/null
    cmake --build --preset native --target arkiva arkiva-progress >/dev/null
    # arkiva's first start sets up the entries and takes no item, as a user's
    # first click does. A start without an argument sets up where the entries
    # are missing (or need it) and does nothing else; then PATH is archived as
    # an entry starts it.
    build/native/arkiva
    [ $# -gt 0 ] || exit 0
    status=0
    build/native/arkiva -- "$@" || status=$?
    if [ $status -eq 0 ]; then
      echo "dev.sh: archived $*"
    else
      echo "dev.sh: arkiva ended $status on $*"
    fi
    exit $status
    ;;
  package)
    install_missing "${PACKAGES[@]}"
    build windows >/dev/null
    cmake --build --preset windows --target package msi
    build native >/dev/null
    cmake --build --preset native --target package
    build_rpm
    ls build/rpm/arkiva-*.rpm
    ;;
  screenshots)
    install_missing "${PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}" x11-xserver-utils fonts-wine
    build native >/dev/null
    build windows >/dev/null
    bash tools/screenshots/make.sh
    ;;
  desktop-test)
    install_missing "${PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}"
    build native >/dev/null
    desktop_test
    ;;
  *)
    echo "usage: ./dev.sh quick | ./dev.sh test | ./dev.sh run PATH | ./dev.sh package | ./dev.sh screenshots | ./dev.sh desktop-test" >&2
    exit 2
    ;;
esac
