#!/bin/bash
# Signs, in place, the files of a release as they go into the zip and the
# MSI (arkiva.exe, arkiva-shell.dll, tar.exe, xz.exe), or the MSI itself,
# with the signer packaging/signing.sh names: SmartScreen stops an unsigned
# program's first start, and Smart App Control refuses to run one.
#   sign-release.sh FILE...
# Without a signer the files stay unsigned, for development, and it says
# so. A file that could not be signed as asked (the token refused, the
# time-stamp authority did not answer) is removed and the signing fails:
# no release goes out with an unsigned program in it.
set -euo pipefail
source "$(dirname "$0")/signing.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! configured_signer "$work"; then
  echo "sign-release.sh: no signer is configured (ARKIVA_SIGNING_PFX or" \
    "ARKIVA_SIGNING_PKCS11_MODULE): $(for f in "$@"; do basename "$f"; done | paste -sd' ')" \
    "stay unsigned, for development only" >&2
  exit 0
fi
for file in "$@"; do
  if ! sign_file "$file" "$work/signed" "$work"; then
    rm -f "$file"
    echo "sign-release.sh: $file could not be signed; it is removed" >&2
    exit 1
  fi
  cat "$work/signed" >"$file"
done
