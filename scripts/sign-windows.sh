#!/usr/bin/env bash
# Signs Windows executables, DLLs and MSI packages in place with an Authenticode signature
# (osslsigncode, SHA-256): scripts/sign-windows.sh FILE...
#   VELMORA_SIGN_CERT       the certificate (chain) in PEM, or a PKCS#12 file with certificate and key
#   VELMORA_SIGN_KEY        with a PEM certificate its private key (PEM, unencrypted);
#                           with a PKCS#12 file the file that holds its password
#   VELMORA_SIGN_TIMESTAMP  an RFC 3161 timestamp server's URL; without it, no timestamp
# Uses only options that osslsigncode 2.5 (Debian 12) has.
set -euo pipefail
cert=${VELMORA_SIGN_CERT:?VELMORA_SIGN_CERT names no certificate}
key=${VELMORA_SIGN_KEY:?VELMORA_SIGN_KEY names no key}
[ -r "$cert" ] && [ -r "$key" ] || { echo "sign-windows: cannot read $cert or $key" >&2; exit 1; }

if grep -q -e '-----BEGIN' "$cert"; then
  options=(-certs "$cert" -key "$key")
else
  options=(-pkcs12 "$cert" -readpass "$key")
fi
[ -z "${VELMORA_SIGN_TIMESTAMP:-}" ] || options+=(-ts "$VELMORA_SIGN_TIMESTAMP")

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for file; do
  # osslsigncode writes a new file and will not overwrite one.
  rm -f "$file.signed"
  if ! osslsigncode sign "${options[@]}" -h sha256 -n Velmora -in "$file" -out "$file.signed" > "$log" 2>&1; then
    cat "$log" >&2
    rm -f "$file.signed"
    echo "sign-windows: signing $file failed" >&2
    exit 1
  fi
  mv -f "$file.signed" "$file"
  echo "sign-windows: signed $file" >&2
done
