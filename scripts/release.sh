#!/usr/bin/env bash
# From an installer to the file that is published, in one command: builds the delivered
# 32-bit loader's template and the host tools (in their own tree, build/release, never the
# test programs; a later run with another installer builds nothing), puts the installer into
# a copy of the template (packed with block division), stamps its parameter block, signs it
# and verifies the signature, and writes its SHA-256 and its bill of materials beside it.
# It takes the kit's way (scripts/kit.sh): the same template and tools, the same file. Run
# scripts/setup.sh once before.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  cat <<'EOF'
Usage: scripts/release.sh [--installer FILE] [--output FILE]
                          [--switch NAME[=VALUE]]... [--custom TEXT]... [--codepage CP]
                          [--pkcs12 FILE | --cert FILE --key FILE] [--pass-file FILE]
                          [--timestamp URL] [--ca-file FILE] [--description TEXT]
                          [--build-dir DIR]

  --installer FILE       the installer the loader carries (default: the demo installer)
  --output FILE          the delivered loader (default: dist/loader.exe); the loader's log is
                         named after it; FILE.sha256 and FILE.cdx.json (its bill of
                         materials, CycloneDX) are written beside it
  --switch, --custom, --codepage
                         what a loader started without arguments passes on, as loader-stamp
                         takes them (tools/loader-stamp/README.md); without any, the block
                         stays as built
  --pkcs12 FILE          sign with the key and certificates of a PKCS#12 file, or
  --cert FILE --key FILE with a certificate file (PEM or DER, the chain included) and its key;
                         without either the loader is not signed
  --pass-file FILE       the password of the key or the PKCS#12 file, on the file's first line
  --timestamp URL        have the signature time-stamped by this RFC 3161 server
  --ca-file FILE         the certificates the signature (and time stamp) must chain to when it
                         is verified (default: the system's, and the signing certificates)
  --description TEXT     the program name in the signature (default: Orvadesk)
  --build-dir DIR        the build tree (default: build/release)

The PE time stamp is SOURCE_DATE_EPOCH when it is set, else 0. The same commit, installer and
parameters give the same loader before signing, whoever builds it and wherever.
EOF
}

fail() { echo "release.sh: $*" >&2; exit 1; }
. "$root/scripts/release-tree.sh"

installer=""
output="$root/dist/loader.exe"
build_dir="$root/build/release"
stamp_args=()
pkcs12=""; cert=""; key=""; pass_file=""; timestamp_url=""; ca_file=""
description="Orvadesk"
while [ $# -gt 0 ]; do
  option="$1"
  case "$option" in
    -h|--help) usage; exit 0 ;;
    --installer|--output|--switch|--custom|--codepage|--pkcs12|--cert|--key|--pass-file|\
    --timestamp|--ca-file|--description|--build-dir)
      [ $# -ge 2 ] || fail "$option needs a value"
      value="$2"; shift 2
      case "$option" in
        --installer) installer="$value" ;;
        --output) output="$value" ;;
        --switch|--custom|--codepage) stamp_args+=("$option" "$value") ;;
        --pkcs12) pkcs12="$value" ;;
        --cert) cert="$value" ;;
        --key) key="$value" ;;
        --pass-file) pass_file="$value" ;;
        --timestamp) timestamp_url="$value" ;;
        --ca-file) ca_file="$value" ;;
        --description) description="$value" ;;
        --build-dir) build_dir="$value" ;;
      esac ;;
    *) usage >&2; fail "unknown argument $option" ;;
  esac
done

# Paths as given are relative to where the command runs; the build runs from the tree's root.
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
for f in installer pkcs12 cert key pass_file ca_file; do
  if [ -n "${!f}" ]; then
    [ -f "${!f}" ] || fail "--${f//_/-} ${!f}: no such file"
    printf -v "$f" '%s' "$(absolute "${!f}")"
  fi
done
output="$(absolute "$output")"
build_dir="$(absolute "$build_dir")"
if [ -n "$installer" ] && [ "$(head -c 2 "$installer")" != "MZ" ]; then
  fail "--installer $installer: not a Windows executable"
fi
signing=false
if [ -n "$pkcs12" ] && { [ -n "$cert" ] || [ -n "$key" ]; }; then
  fail "give either --pkcs12 or --cert and --key"
elif [ -n "$pkcs12" ]; then
  signing=true
elif [ -n "$cert" ] || [ -n "$key" ]; then
  [ -n "$cert" ] && [ -n "$key" ] || fail "--cert and --key go together"
  signing=true
fi
if ! $signing && { [ -n "$pass_file" ] || [ -n "$timestamp_url" ] || [ -n "$ca_file" ]; }; then
  fail "--pass-file, --timestamp and --ca-file belong to signing (--pkcs12, or --cert and --key)"
fi

require_tools sha256sum python3
$signing && require_tools osslsigncode openssl

# The template and the host tools, in a tree of their own.
echo "== Building the loader's template and the host tools in $build_dir"
configure_release_tree "$root" "$build_dir"
targets=(loader-template host-tools)
[ -n "$installer" ] || targets+=(demo-installer)
cmake --build "$build_dir" --target "${targets[@]}"
[ -n "$installer" ] || installer="$build_dir/tests/fixtures/demo-installer/demo-installer.exe"
pack_tool="$build_dir/host-tools/loader-pack/loader-pack"
stamp_tool="$build_dir/host-tools/loader-stamp/loader-stamp"

# Everything happens on a copy next to the output, which takes the output's place at the end:
# a refusal or a failed signature leaves no delivered file behind.
mkdir -p "$(dirname "$output")"
work="$(mktemp -d "$(dirname "$output")/.release.XXXXXX")"
trap 'rm -rf "$work"' EXIT
unsigned="$work/unsigned.exe"
echo "== Making the loader from its template, with $installer"
"$pack_tool" --best --into "$build_dir/loader/loader-template.exe" "$installer" "$unsigned"

if [ ${#stamp_args[@]} -gt 0 ]; then
  echo "== Stamping the parameter block"
  "$stamp_tool" "$unsigned" "${stamp_args[@]}" >/dev/null
else
  echo "== No --switch or --custom: the parameter block stays as built"
fi
codepage_args=()
for ((i = 0; i < ${#stamp_args[@]}; i += 2)); do
  [ "${stamp_args[i]}" = --codepage ] && codepage_args=(--codepage "${stamp_args[i + 1]}")
done
"$stamp_tool" "$unsigned" --show "${codepage_args[@]}" | grep -v '^Signature:'

delivered="$unsigned"
signer="not signed"
if $signing; then
  echo "== Signing"
  sign=(osslsigncode sign -h sha256 -n "$description")
  certificates="$work/signer.pem"
  if [ -n "$pkcs12" ]; then
    sign+=(-pkcs12 "$pkcs12")
    passin=(-passin "pass:")
    [ -n "$pass_file" ] && passin=(-passin "file:$pass_file")
    # PKCS#12 files from older tools need OpenSSL's legacy algorithms.
    openssl pkcs12 -in "$pkcs12" -nokeys "${passin[@]}" -out "$certificates" 2>/dev/null ||
      openssl pkcs12 -legacy -in "$pkcs12" -nokeys "${passin[@]}" -out "$certificates" 2>/dev/null ||
      fail "--pkcs12 $pkcs12: cannot read its certificates (wrong password?)"
  else
    sign+=(-certs "$cert" -key "$key")
    if grep -q 'BEGIN CERTIFICATE' "$cert"; then
      cp "$cert" "$certificates"  # the chain too, when the file holds it
    else
      openssl x509 -inform DER -in "$cert" -out "$certificates" 2>/dev/null ||
        fail "--cert $cert: not a certificate"
    fi
  fi
  [ -n "$pass_file" ] && sign+=(-readpass "$pass_file")
  [ -n "$timestamp_url" ] && sign+=(-ts "$timestamp_url")
  "${sign[@]}" -in "$unsigned" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; fail "signing failed"; }

  echo "== Verifying the signature"
  trusted="$ca_file"
  if [ -z "$trusted" ]; then
    trusted="$work/trusted.pem"
    cat /etc/ssl/certs/ca-certificates.crt "$certificates" >"$trusted" 2>/dev/null ||
      cp "$certificates" "$trusted"
  fi
  osslsigncode verify -in "$work/signed.exe" -CAfile "$trusted" -TSA-CAfile "$trusted" \
    >"$work/verify.log" 2>&1 || { cat "$work/verify.log" >&2; fail "the signature does not verify"; }
  delivered="$work/signed.exe"
  signer="$(openssl x509 -in "$certificates" -noout -subject -nameopt oneline | sed 's/^subject= *//')"
fi

chmod 755 "$delivered"
unsigned_sha256="$(sha256sum "$unsigned" | cut -d' ' -f1)"
python3 "$root/scripts/make-bom.py" "$delivered" "$work/bom.json"
mv -f "$delivered" "$output"
mv -f "$work/bom.json" "$output.cdx.json"
(cd "$(dirname "$output")" && sha256sum "$(basename "$output")" >"$(basename "$output").sha256")
sha256="$(cut -d' ' -f1 "$output.sha256")"

echo "== Delivered loader"
echo "File:      $output ($(stat -c %s "$output") bytes)"
echo "Signed by: $signer"
echo "SHA-256:   $sha256 (also in $output.sha256)"
echo "Materials: $output.cdx.json (CycloneDX: the loader, its installer, the third-party code)"
if $signing; then
  echo "Unsigned:  $unsigned_sha256 (the same file before signing: what a rebuild gives, and"
  echo "           what 'loader-stamp FILE --remove-signature' makes of the delivered one)"
fi
