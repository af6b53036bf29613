#!/bin/bash
# The RPM for Fedora and openSUSE, as ./dev.sh package builds it with the rpm
# preset: every file in Fedora's place (lib64, libexec), arkiva's compiled-in
# paths Fedora's too, dependencies by soname or by Fedora's package names
# (GNOME Files' library and GTK not required), and rpmlint without errors.
#   check-rpm.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "$1"; exit 1; }
rpm=$(realpath "$build"/arkiva-*.x86_64.rpm)
files=$(rpm -qpl "$rpm" | grep -v '^/usr/lib/.build-id')
expected="/usr/bin/arkiva
/usr/lib64/nautilus/extensions-4/libarkiva-nautilus.so
/usr/libexec/arkiva
/usr/libexec/arkiva/arkiva-progress
/usr/share/applications/arkiva-progress.desktop
/usr/share/arkiva
/usr/share/arkiva/registry.reg
/usr/share/file-manager/actions/arkiva-create-one-tar-xz.desktop
/usr/share/file-manager/actions/arkiva-create-tar-xz.desktop
/usr/share/kio/servicemenus/arkiva-create-one-tar-xz.desktop
/usr/share/kio/servicemenus/arkiva-create-tar-xz.desktop
/usr/share/licenses/arkiva
/usr/share/licenses/arkiva/LICENSE
$(for l in $(cat "$(dirname "$0")/../catalogues/LINGUAS"); do echo "/usr/share/locale/$l/LC_MESSAGES/arkiva.mo"; done)
/usr/share/man/man1/arkiva.1.gz
/usr/share/nemo/actions/arkiva-create-one-tar-xz.nemo_action
/usr/share/nemo/actions/arkiva-create-tar-xz.nemo_action"
[ "$files" = "$(sort <<<"$expected")" ] || fail "the RPM's files: $(diff <(sort <<<"$expected") - <<<"$files")"
[ -z "$(rpm -qp --configfiles "$rpm")" ] || fail "configuration files: $(rpm -qp --configfiles "$rpm")"
# Where setup looks for GNOME Files' module and caja-actions, as built.
defined=$(grep -o 'ARKIVA_\(CAJA_ACTIONS\|INSTALLED_NAUTILUS\)_MODULE=[^ ]*' "$build/build.ninja" | sort -u)
[ "$defined" = 'ARKIVA_CAJA_ACTIONS_MODULE=\"/usr/lib64/caja/extensions-2.0/libcaja-actions-menu.so\"
ARKIVA_INSTALLED_NAUTILUS_MODULE=\"/usr/lib64/nautilus/extensions-4/libarkiva-nautilus.so\"' ] \
  || fail "setup looks for: $defined"
requires=$(rpm -qp --requires "$rpm")
grep -qx 'tar' <<<"$requires" && grep -qx 'xz' <<<"$requires" || fail "tar and xz are not required"
! grep -q 'nautilus\|gtk\|x86_64-linux-gnu\|libxml' <<<"$requires" || fail "it requires: $requires"
[ "$(rpm -qp --recommends "$rpm")" = gtk3 ] || fail "GTK is not recommended"
lint=$(rpmlint -c "$(dirname "$0")/../packaging/linux/rpmlint.toml" "$rpm" 2>&1) || true
grep -q ' 0 errors' <<<"$lint" || fail "rpmlint: $lint"
echo "$(basename "$rpm"): $(wc -l <<<"$files") files in Fedora's places; rpmlint: $(grep -o '[0-9]* errors, [0-9]* warnings' <<<"$lint")"
