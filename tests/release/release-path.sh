#!/usr/bin/env bash
# The release path as a user takes it: scripts/release.sh, run from a copy of the sources in
# another folder with a build folder of its own, makes a stamped loader signed with a PKCS#12
# key and time-stamped by a local time-stamp server, and scripts/kit.sh lays out the kit from
# the copy; each check below says what it holds them to.
#
#   release-path.sh <source folder> <this tree's loader.exe> <this tree's loader-stamp>
#                   <installer file, or "" for the demo installer> <this tree's PE time stamp>
#                   <work folder> <node_modules with the CycloneDX validator>
set -euo pipefail
source_dir="$1"; tree_loader="$2"; tree_stamp="$3"; installer="$4"; time_stamp="$5"; work="$6"
node_modules="$7"
here="$(cd "$(dirname "$0")" && pwd)"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

failures=0
check() {  # check <what> <command...>: runs the command, reports and counts a failure
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
pe_time_stamp() { od -An -tu4 -j $(( $(od -An -tu4 -j 60 -N4 "$1") + 8 )) -N4 "$1" | tr -d ' '; }

copy="$work/sources-elsewhere/orvadesk" keys="$work/keys"
rm -rf "$work"
mkdir -p "$keys" "$work/out" "$copy"
tar -C "$source_dir" --exclude='./build*' --exclude=./.git --exclude=./dist -cf - . |
  tar -C "$copy" -xf -

# A throwaway signer in a PKCS#12 file with a password, and a throwaway time-stamp server.
echo "not-a-real-password" > "$keys/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway release signer" \
  -keyout "$keys/signer.key" -out "$keys/signer.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.crt" \
  -passout "file:$keys/password" -out "$keys/signer.p12"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway time-stamp server" \
  -addext "basicConstraints=critical,CA:false" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=critical,timeStamping" \
  -keyout "$keys/tsa.key" -out "$keys/tsa.crt" 2>/dev/null
cat "$keys/signer.crt" "$keys/tsa.crt" > "$keys/trusted.pem"
python3 "$here/tsa_server.py" "$keys" "$keys/port" &
tsa_pid=$!
trap 'kill $tsa_pid 2>/dev/null || true' EXIT
for _ in $(seq 300); do [ -s "$keys/port" ] && break; sleep 0.1; done
[ -s "$keys/port" ] || { echo "the time-stamp server did not start"; exit 1; }

installer_args=()
[ -n "$installer" ] && installer_args=(--installer "$installer")
epoch_env=(env -u SOURCE_DATE_EPOCH)
[ "$time_stamp" != 0 ] && epoch_env=(env "SOURCE_DATE_EPOCH=$time_stamp")
stamp_args=(--switch Lang=en --switch Silent --custom 'a=1&b=2')
delivered="$work/out/download.exe"

echo "== release.sh from $copy"
"${epoch_env[@]}" "$copy/scripts/release.sh" "${installer_args[@]}" "${stamp_args[@]}" \
  --pkcs12 "$keys/signer.p12" --pass-file "$keys/password" \
  --timestamp "http://127.0.0.1:$(cat "$keys/port")" --ca-file "$keys/trusted.pem" \
  --output "$delivered" --build-dir "$work/build" | tee "$work/release.log"

check "the delivered loader and its SHA-256 file are written" \
  test -f "$delivered" -a -f "$delivered.sha256"
check "the SHA-256 file matches" bash -c "cd '$work/out' && sha256sum --quiet -c download.exe.sha256"
check "the printed SHA-256 is the file's" \
  grep -q "^SHA-256: *$(sha256sum "$delivered" | cut -d' ' -f1)" "$work/release.log"
osslsigncode verify -in "$delivered" -CAfile "$keys/trusted.pem" -TSA-CAfile "$keys/trusted.pem" \
  > "$work/verify.log" 2>&1 || true
check "the signature verifies" grep -q "^Signature verification: ok" "$work/verify.log"
check "the signature is time-stamped" \
  grep -q "Timestamp Server Signature verification: ok" "$work/verify.log"

# Without its signature, the file is this tree's loader stamped the same way.
cp "$delivered" "$work/unsigned.exe"
"$tree_stamp" "$work/unsigned.exe" --remove-signature > /dev/null
cp "$tree_loader" "$work/tree-stamped.exe"
"$tree_stamp" "$work/tree-stamped.exe" "${stamp_args[@]}" > /dev/null
check "built from other folders, the unsigned loader is byte for byte this tree's" \
  cmp "$work/unsigned.exe" "$work/tree-stamped.exe"
check "the printed unsigned SHA-256 is that file's" \
  grep -q "^Unsigned: *$(sha256sum "$work/unsigned.exe" | cut -d' ' -f1)" "$work/release.log"
check "the PE time stamp is $time_stamp" test "$(pe_time_stamp "$work/unsigned.exe")" = "$time_stamp"
tree="$(dirname "$(dirname "$tree_loader")")"
for folder in "$source_dir" "$copy" "$work" "$tree"; do
  check "no trace of $folder in the loader" \
    bash -c "! grep -a -q -F '$folder' '$work/unsigned.exe'"
done

check "the bill of materials validates and names the loader and the installer" \
  env NODE_PATH="$node_modules" node "$here/validate-bom.js" "$delivered.cdx.json" "$delivered" \
  "${installer:-$work/build/tests/fixtures/demo-installer/demo-installer.exe}" "$source_dir/third_party/zlib"

# The kit: from the copy, and from this tree; its tools alone make what release.sh made.
"$copy/scripts/kit.sh" --output "$work/kit" --build-dir "$work/build" > "$work/kit.log"
kit="$(echo "$work"/kit/orvadesk-loader-kit-*)"
cmake --build "$tree" --target kit > "$work/tree-kit.log"
check "the kit checks out against its SHA256SUMS" bash -c "cd '$kit' && sha256sum --quiet -c SHA256SUMS"
check "the kit from other folders is this tree's, file for file" \
  diff -r "$kit" "$tree/kit/$(basename "$kit")"
env -i PATH=/var/empty "$kit/linux-x86_64/loader-pack" -q --into "$kit/loader-template.exe" \
  "${installer:-$work/build/tests/fixtures/demo-installer/demo-installer.exe}" "$work/kit-made.exe"
env -i PATH=/var/empty "$kit/linux-x86_64/loader-stamp" "$work/kit-made.exe" "${stamp_args[@]}" > /dev/null
check "from the kit alone, the loader release.sh made, byte for byte before signing" \
  cmp "$work/kit-made.exe" "$work/unsigned.exe"

# A refused stamp: nothing delivered, and the message says which switch and why.
refused="$work/out/refused.exe"
if "$copy/scripts/release.sh" "${installer_args[@]}" --switch 'Dir=C:\App\' \
    --output "$refused" --build-dir "$work/build" > "$work/refused.log" 2>&1; then
  check "release.sh fails on a refused stamp" false
fi
check "a refused stamp delivers nothing" test ! -e "$refused" -a ! -e "$refused.sha256"
check "the refusal names the switch and the reason" \
  grep -q -F 'Dir=C:\App\: the value ends in a backslash' "$work/refused.log"

# SOURCE_DATE_EPOCH sets the time stamp; unsigned, nothing else stamped.
SOURCE_DATE_EPOCH=1234567890 "$copy/scripts/release.sh" "${installer_args[@]}" \
  --output "$work/out/dated.exe" --build-dir "$work/build" > "$work/dated.log" 2>&1
check "SOURCE_DATE_EPOCH=1234567890 is the PE time stamp" \
  test "$(pe_time_stamp "$work/out/dated.exe")" = 1234567890
check "an unsigned delivery says so" grep -q "^Signed by: not signed" "$work/dated.log"

[ "$failures" = 0 ] || { echo "$failures check(s) failed; the files are in $work"; exit 1; }
rm -rf "$work"
echo "release path: all checks passed"
