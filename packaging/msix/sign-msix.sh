#!/bin/bash
# Builds and signs arkiva-shell.msix in the build folder, and puts its logos
# in BUILD_DIR/Assets, since Windows reads them from the external location
# (arkiva's folder) that the package is registered with.
#   sign-msix.sh SOURCE_DIR BUILD_DIR
# The signer is the release's (packaging/signing.sh says which); without
# one, a test certificate made once in the build folder (subject
# "CN=arkiva test"), whose arkiva-shell.cer goes beside the package, since
# Windows registers no unsigned package.
# The manifest's Publisher is the signer's subject, as Windows writes it.
set -euo pipefail
source=$1
build=$2
work=$build/msix
rm -rf "$work"
mkdir -p "$work/files/Assets"

source "$source/packaging/signing.sh"
if configured_signer "$work"; then
  rm -f "$build/arkiva-shell.cer"
else
  pfx=$build/arkiva-test-signing.pfx
  if [ ! -f "$pfx" ]; then
    openssl req -x509 -newkey rsa:3072 -nodes -days 3650 -subj "/CN=arkiva test" \
      -keyout "$build/arkiva-test-signing.key" -out "$build/arkiva-test-signing.pem" \
      -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
      -addext "extendedKeyUsage=codeSigning" 2>/dev/null
    openssl pkcs12 -export -inkey "$build/arkiva-test-signing.key" \
      -in "$build/arkiva-test-signing.pem" -passout pass:arkiva -out "$pfx"
  fi
  cp "$build/arkiva-test-signing.pem" "$work/signer.pem"
  openssl x509 -in "$work/signer.pem" -outform der -out "$build/arkiva-shell.cer"
  signer=(-pkcs12 "$pfx" -pass arkiva)
fi
publisher=$(/usr/bin/python3 "$source/packaging/msix/publisher.py" "$work/signer.pem")

# Publisher goes into an XML attribute, through sed's replacement.
attribute=$(printf '%s' "$publisher" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g')
replacement=$(printf '%s' "$attribute" | sed 's/[|\\&]/\\&/g')
sed "s|@ARKIVA_PACKAGE_PUBLISHER@|$replacement|" "$build/AppxManifest.xml" \
  >"$work/files/AppxManifest.xml"
# The logos, from arkiva's icon, sharp.
mkdir -p "$build/Assets"
for logo in StoreLogo:50 Square150x150Logo:150 Square44x44Logo:44; do
  /usr/bin/convert "$source/app/resources/arkiva.ico" -filter point -resize "${logo#*:}x${logo#*:}" \
    -define png:exclude-chunks=date,time,tIME "PNG32:$work/files/Assets/${logo%:*}.png"
  cp "$work/files/Assets/${logo%:*}.png" "$build/Assets/"
done
/usr/bin/python3 "$source/packaging/msix/make-msix.py" "$work/unsigned.msix" "$work/files" \
  AppxManifest.xml Assets/StoreLogo.png Assets/Square150x150Logo.png Assets/Square44x44Logo.png

rm -f "$build/arkiva-shell.msix"
sign_file "$work/unsigned.msix" "$work/signed.msix" "$work" || {
  echo "sign-msix.sh: arkiva-shell.msix could not be signed" >&2
  exit 1
}
mv "$work/signed.msix" "$build/arkiva-shell.msix"
