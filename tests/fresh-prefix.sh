# Sourced by the release checks, once they have a display: a Wine prefix of
# their own under a fresh folder $work, removed with it on exit, with no
# WINEPATH, so only what the release brings and Wine itself are found.
#   source fresh-prefix.sh NAME   (the folder is /tmp/arkiva-NAME.XXXXXX)
work=$(mktemp -d "/tmp/arkiva-$1.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
dos() { printf 'Z:%s' "${1//\//\\}"; }
# As in wine-run: no address-space randomization, which makes Wine's process
# starts fail now and then.
wine() { setarch "$(uname -m)" -R wine "$@"; }
wineboot() { setarch "$(uname -m)" -R wineboot "$@"; }
boot_prefix() {
  wineboot -i >/dev/null 2>&1
  wineserver -w
}
