# The release's signer, for the scripts that sign (sourced, not run).
# The signer, the first that is set:
#   ARKIVA_SIGNING_PKCS11_MODULE, ARKIVA_SIGNING_PKCS11_KEY, ARKIVA_SIGNING_CERT:
#     a key on a token or HSM (a PKCS#11 module, a pkcs11: URI, which may hold
#     pin-value or pin-source) and its certificate (PEM), as a release is signed;
#   ARKIVA_SIGNING_PFX, with its password in ARKIVA_SIGNING_PASSWORD.
# With ARKIVA_TIMESTAMP_URL set, each signature is timestamped by that
# RFC 3161 authority, so that it stays valid after the certificate expires;
# a timestamp that fails fails the signing.

# Sets `signer` to osslsigncode's options for the configured signer and
# writes its certificate to WORK/signer.pem; returns 1 when none is set.
#   configured_signer WORK
configured_signer() {
  if [ -n "${ARKIVA_SIGNING_PKCS11_MODULE:-}" ]; then
    : "${ARKIVA_SIGNING_PKCS11_KEY:?names the key on the token (a pkcs11: URI)}"
    : "${ARKIVA_SIGNING_CERT:?names the certificate of that key (PEM)}"
    openssl x509 -in "$ARKIVA_SIGNING_CERT" -out "$1/signer.pem"
    signer=(-pkcs11module "$ARKIVA_SIGNING_PKCS11_MODULE" -key "$ARKIVA_SIGNING_PKCS11_KEY"
            -certs "$ARKIVA_SIGNING_CERT")
    # The engine that speaks PKCS#11 to OpenSSL (libengine-pkcs11-openssl).
    local engine
    engine=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
    [ ! -f "$engine" ] || signer+=(-pkcs11engine "$engine")
  elif [ -n "${ARKIVA_SIGNING_PFX:-}" ]; then
    openssl pkcs12 -in "$ARKIVA_SIGNING_PFX" -passin env:ARKIVA_SIGNING_PASSWORD -nokeys -clcerts \
      | openssl x509 -out "$1/signer.pem"
    signer=(-pkcs12 "$ARKIVA_SIGNING_PFX" -pass "${ARKIVA_SIGNING_PASSWORD:-}")
  else
    return 1
  fi
}

# Whether a signed file's signature holds an RFC 3161 timestamp (its
# unsigned attribute 1.3.6.1.4.1.311.3.3.1).
#   has_timestamp FILE WORK
has_timestamp() {
  local objects
  rm -f "$2/signature.pem"  # osslsigncode writes no file that is there
  osslsigncode extract-signature -pem -in "$1" -out "$2/signature.pem" >/dev/null 2>&1 &&
    objects=$(openssl asn1parse -in "$2/signature.pem") &&
    [[ $objects == *":1.3.6.1.4.1.311.3.3.1"* ]]
}

# Signs IN (a program, a DLL, an MSI or an MSIX) into OUT with `signer`,
# timestamped when ARKIVA_TIMESTAMP_URL asks for it; never leaves an OUT
# without the timestamp asked for, whose signature would end with the
# certificate. Says why on failure.
#   sign_file IN OUT WORK
sign_file() {
  local timestamp=()
  [ -z "${ARKIVA_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$ARKIVA_TIMESTAMP_URL")
  rm -f "$2"
  if ! osslsigncode sign "${signer[@]}" "${timestamp[@]}" -h sha256 -in "$1" -out "$2" \
    >"$3/sign.log" 2>&1; then
    cat "$3/sign.log" >&2
    rm -f "$2"
    echo "$(basename "$1") could not be signed" >&2
    return 1
  fi
  if [ -n "${ARKIVA_TIMESTAMP_URL:-}" ] && ! has_timestamp "$2" "$3"; then
    cat "$3/sign.log" >&2
    rm -f "$2"
    echo "$(basename "$1"): no timestamp from $ARKIVA_TIMESTAMP_URL" >&2
    return 1
  fi
}
