#!/usr/bin/env bash
# Signs each FILE in place for scripts/package.sh --sign (Authenticode, SHA-256) with the certificate
# TENDRAL_SIGN_PFX, whose password is TENDRAL_SIGN_PASSWORD; with TENDRAL_TIMESTAMP_URL set, adds an
# RFC 3161 timestamp from that server. The password goes to osslsigncode in a file only this user can
# read, never on a command line that other users' process lists show.
set -euo pipefail
: "${TENDRAL_SIGN_PFX:?no certificate}" "${TENDRAL_SIGN_PASSWORD?no password}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' "$TENDRAL_SIGN_PASSWORD" >"$work/password"
for file; do
  osslsigncode sign -pkcs12 "$TENDRAL_SIGN_PFX" -readpass "$work/password" -h sha256 -n Tendral \
    ${TENDRAL_TIMESTAMP_URL:+-ts "$TENDRAL_TIMESTAMP_URL"} -in "$file" -out "$work/signed" >/dev/null
  cat "$work/signed" >"$file"
  rm "$work/signed"
done
