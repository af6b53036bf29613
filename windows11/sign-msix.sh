#!/bin/bash
# Builds and signs arkiva-shell.msix in the build folder, and puts its logos
# in BUILD_DIR/Assets, since Windows reads them from the external location
# (arkiva's folder) that the package is registered with.
#   sign-msix.sh SOURCE_DIR BUILD_DIR
# The signer, the first that is set:
#   ARKIVA_SIGNING_PKCS11_MODULE, ARKIVA_SIGNING_PKCS11_KEY, ARKIVA_SIGNING_CERT:
#     a key on a token or HSM (a PKCS#11 module, a pkcs11: URI, which may hold
#     pin-value or pin-source) and its certificate (PEM), as a release is signed;
#   ARKIVA_SIGNING_PFX, with its password in ARKIVA_SIGNING_PASSWORD;
#   else a test certificate made once in the build folder (subject
#     "CN=arkiva test"), whose arkiva-shell.cer goes beside the package.
# With ARKIVA_TIMESTAMP_URL set, the signature is timestamped by that RFC 3161
# authority, so that it stays valid after the certificate expires; a
# timestamp that fails fails the build.
# The manifest's Publisher is the signer's subject, as Windows writes it.
set -euo pipefail
source=$1
build=$2
work=$build/msix
rm -rf "$work"
mkdir -p "$work/files/Assets"

# Whether a signed package's signature holds an RFC 3161 timestamp (its
# unsigned attribute 1.3.6.1.4.1.311.3.3.1).
has_timestamp() {
  local objects
  osslsigncode extract-signature -pem -in "$1" -out "$work/signature.pem" >/dev/null 2>&1 &&
    objects=$(openssl asn1parse -in "$work/signature.pem") &&
    [[ $objects == *":1.3.6.1.4.1.311.3.3.1"* ]]
}

signer=()
if [ -n "${ARKIVA_SIGNING_PKCS11_MODULE:-}" ]; then
  : "${ARKIVA_SIGNING_PKCS11_KEY:?names the key on the token (a pkcs11: URI)}"
  : "${ARKIVA_SIGNING_CERT:?names the certificate of that key (PEM)}"
  openssl x509 -in "$ARKIVA_SIGNING_CERT" -out "$work/signer.pem"
  signer=(-pkcs11module "$ARKIVA_SIGNING_PKCS11_MODULE" -key "$ARKIVA_SIGNING_PKCS11_KEY"
          -certs "$ARKIVA_SIGNING_CERT")
  # The engine that speaks PKCS#11 to OpenSSL (libengine-pkcs11-openssl).
  engine=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
  [ ! -f "$engine" ] || signer+=(-pkcs11engine "$engine")
  rm -f "$build/arkiva-shell.cer"
elif [ -n "${ARKIVA_SIGNING_PFX:-}" ]; then
  openssl pkcs12 -in "$ARKIVA_SIGNING_PFX" -passin env:ARKIVA_SIGNING_PASSWORD -nokeys -clcerts \
    | openssl x509 -out "$work/signer.pem"
  signer=(-pkcs12 "$ARKIVA_SIGNING_PFX" -pass "${ARKIVA_SIGNING_PASSWORD:-}")
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
publisher=$(/usr/bin/python3 "$source/windows11/publisher.py" "$work/signer.pem")

# Publisher goes into an XML attribute, through sed's replacement.
attribute=$(printf '%s' "$publisher" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g')
replacement=$(printf '%s' "$attribute" | sed 's/[|\\&]/\\&/g')
sed "s|@ARKIVA_PACKAGE_PUBLISHER@|$replacement|" "$build/AppxManifest.xml" \
  >"$work/files/AppxManifest.xml"
# The logos, from arkiva's icon, sharp.
mkdir -p "$build/Assets"
for logo in StoreLogo:50 Square150x150Logo:150 Square44x44Logo:44; do
  /usr/bin/convert "$source/app/arkiva.ico" -filter point -resize "${logo#*:}x${logo#*:}" \
    -define png:exclude-chunks=date,time,tIME "PNG32:$work/files/Assets/${logo%:*}.png"
  cp "$work/files/Assets/${logo%:*}.png" "$build/Assets/"
done
/usr/bin/python3 "$source/windows11/make-msix.py" "$work/unsigned.msix" "$work/files" \
  AppxManifest.xml Assets/StoreLogo.png Assets/Square150x150Logo.png Assets/Square44x44Logo.png

timestamp=()
[ -z "${ARKIVA_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$ARKIVA_TIMESTAMP_URL")
rm -f "$build/arkiva-shell.msix"
if ! osslsigncode sign "${signer[@]}" "${timestamp[@]}" -h sha256 \
  -in "$work/unsigned.msix" -out "$work/signed.msix" >"$work/sign.log" 2>&1; then
  cat "$work/sign.log" >&2
  echo "sign-msix.sh: arkiva-shell.msix could not be signed" >&2
  exit 1
fi
# Never a package without the timestamp that was asked for: its signature
# would end with the certificate.
if [ -n "${ARKIVA_TIMESTAMP_URL:-}" ] && ! has_timestamp "$work/signed.msix"; then
  cat "$work/sign.log" >&2
  echo "sign-msix.sh: no timestamp from $ARKIVA_TIMESTAMP_URL" >&2
  exit 1
fi
mv "$work/signed.msix" "$build/arkiva-shell.msix"
