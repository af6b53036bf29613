#!/bin/bash
# Builds and signs arkiva-shell.msix in the build folder.
#   sign-msix.sh SOURCE_DIR BUILD_DIR
# The signer: $ARKIVA_SIGNING_PFX with its password in
# $ARKIVA_SIGNING_PASSWORD (a release's code-signing certificate), else a
# test certificate made once in the build folder (subject "CN=arkiva test"),
# whose arkiva-shell.cer goes beside the package. The manifest's Publisher is
# the signer's subject, as Windows compares them.
set -euo pipefail
source=$1
build=$2
work=$build/msix
rm -rf "$work"
mkdir -p "$work/files/Assets"

if [ -n "${ARKIVA_SIGNING_PFX:-}" ]; then
  pfx=$ARKIVA_SIGNING_PFX
  password=${ARKIVA_SIGNING_PASSWORD:-}
  openssl pkcs12 -in "$pfx" -passin env:ARKIVA_SIGNING_PASSWORD -nokeys -clcerts \
    | openssl x509 -out "$work/signer.pem"
  rm -f "$build/arkiva-shell.cer"
else
  pfx=$build/arkiva-test-signing.pfx
  password=arkiva
  if [ ! -f "$pfx" ]; then
    openssl req -x509 -newkey rsa:3072 -nodes -days 3650 -subj "/CN=arkiva test" \
      -keyout "$build/arkiva-test-signing.key" -out "$build/arkiva-test-signing.pem" \
      -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
      -addext "extendedKeyUsage=codeSigning" 2>/dev/null
    openssl pkcs12 -export -inkey "$build/arkiva-test-signing.key" \
      -in "$build/arkiva-test-signing.pem" -passout pass:$password -out "$pfx"
  fi
  cp "$build/arkiva-test-signing.pem" "$work/signer.pem"
  openssl x509 -in "$work/signer.pem" -outform der -out "$build/arkiva-shell.cer"
fi
# As Windows writes a subject: most specific first, ", " between.
publisher=$(openssl x509 -in "$work/signer.pem" -noout -subject \
  -nameopt esc_2253,esc_ctrl,utf8,dump_nostr,dump_der,sep_comma_plus_space,dn_rev,sname |
  sed 's/^subject=//')

sed "s|@ARKIVA_PACKAGE_PUBLISHER@|$(printf '%s' "$publisher" | sed 's/[&|\\]/\\&/g; s/"/\&quot;/g')|" \
  "$build/AppxManifest.xml" >"$work/files/AppxManifest.xml"
# The logos, from arkiva's icon, sharp.
for logo in StoreLogo:50 Square150x150Logo:150 Square44x44Logo:44; do
  /usr/bin/convert "$source/app/arkiva.ico" -filter point -resize "${logo#*:}x${logo#*:}" \
    -define png:exclude-chunks=date,time,tIME "PNG32:$work/files/Assets/${logo%:*}.png"
done
/usr/bin/python3 "$source/windows11/make-msix.py" "$work/unsigned.msix" "$work/files" \
  AppxManifest.xml Assets/StoreLogo.png Assets/Square150x150Logo.png Assets/Square44x44Logo.png
rm -f "$build/arkiva-shell.msix"
osslsigncode sign -pkcs12 "$pfx" -pass "$password" -h sha256 \
  -in "$work/unsigned.msix" -out "$build/arkiva-shell.msix" >/dev/null
