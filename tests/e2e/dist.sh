#!/usr/bin/env bash
# The release packages of tools/dist.sh, from the already built editions
# (SETUP_EXE32, SETUP_EXE), with a payload that holds a Chinese file name:
#  1. two signed runs give byte-identical zips, and SHA256SUMS matches them;
#  2. the zips hold a package folder each, SetUp.exe beside Data, with the
#     Chinese name kept (the UTF-8 flag);
#  3. the signed SetUp.exe verifies against the throw-away certificate that
#     signed it; a run without a certificate says so and signs nothing;
#  4. the unpacked 64-bit package installs under Wine, as a person would
#     (tests/fixtures/install_machine.reg): exit code 0, a demand-load entry
#     and the Chinese-named file in the target folder.
# Run by run-under-x.sh. Environment: E2E_DRIVER, SETUP_EXE, SETUP_EXE32,
# SETUP_FIXTURES, SETUP_ARTEFACTS, SETUP_SOURCE, SETUP_VERSION.
set -euo pipefail
. "$E2E_DIR/lib.sh"
art=$SETUP_ARTEFACTS/dist
rm -rf "$art"
mkdir -p "$art"
export E2E_LOG=$art/dist.log
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$SETUP_EXE32" ] || fail "the 32-bit edition is missing: $SETUP_EXE32 (build preset win32 first)"

# The payload: the demo package's files and one with a Chinese name.
bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$art/source" >/dev/null
readme=说明.txt
printf 'readme\r\n' >"$art/source/Data/$readme"

# A throw-away code-signing certificate.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=V-VidudOvev test signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$art/key.pem" -out "$art/cert.pem" 2>/dev/null

# ---- 1. Reproducible, and the sums match ------------------------------------
dist() {
  bash "$SETUP_SOURCE/tools/dist.sh" --setup32 "$SETUP_EXE32" --setup64 "$SETUP_EXE" \
    --payload "$art/source/Data" --out "$1"
}
for run in a b; do
  SIGN_CERT=$art/cert.pem SIGN_KEY=$art/key.pem dist "$art/$run" >"$art/$run.txt" || fail "dist.sh: $(cat "$art/$run.txt")"
done
dotted=${SETUP_VERSION:0:4}.${SETUP_VERSION:4:2}.${SETUP_VERSION:6:2}
names=("V-VidudOvev-$dotted-32bit" "V-VidudOvev-$dotted-64bit")
for name in "${names[@]}"; do
  [ -f "$art/a/$name.zip" ] || fail "no $name.zip: $(ls "$art/a")"
  cmp "$art/a/$name.zip" "$art/b/$name.zip" || fail "$name.zip differs between two runs"
done
(cd "$art/a" && sha256sum -c --strict SHA256SUMS) || fail "SHA256SUMS does not match the zips"
[ "$(wc -l <"$art/a/SHA256SUMS")" = 2 ] || fail "SHA256SUMS: $(cat "$art/a/SHA256SUMS")"
echo "two runs: identical zips, sums match"

# ---- 2. What the zips hold --------------------------------------------------
for name in "${names[@]}"; do
  listing=$(LC_ALL=C.UTF-8 unzip -Z1 "$art/a/$name.zip")
  grep -qx "$name/SetUp.exe" <<<"$listing" || fail "$name.zip: no SetUp.exe"
  grep -qx "$name/Data/$readme" <<<"$listing" || fail "$name.zip: the Chinese file name was not kept: $listing"
  [ "$(grep -c "^$name/Data/" <<<"$listing")" = "$(ls "$art/source/Data" | wc -l)" ] || fail "$name.zip: Data is not the payload"
  [ "$(grep -vc -e "^$name/Data/" -e "^$name/SetUp.exe\$" <<<"$listing")" = 0 ] || fail "$name.zip: more than SetUp.exe and Data"
  mkdir -p "$art/unpacked"
  (cd "$art/unpacked" && LC_ALL=C.UTF-8 unzip -q "$art/a/$name.zip")
  cmp "$art/unpacked/$name/Data/$readme" "$art/source/Data/$readme" || fail "$name: $readme changed"
done
echo "zips: SetUp.exe beside Data, the Chinese name kept"

# ---- 3. Signed, and verified ------------------------------------------------
for name in "${names[@]}"; do
  osslsigncode verify -CAfile "$art/cert.pem" -in "$art/unpacked/$name/SetUp.exe" >"$art/verify.txt" 2>&1 ||
    fail "$name: the signature does not verify: $(tail -5 "$art/verify.txt")"
done
dist "$art/unsigned" >"$art/unsigned.txt" || fail "dist.sh unsigned: $(cat "$art/unsigned.txt")"
grep -q 'NOT signed' "$art/unsigned.txt" || fail "an unsigned run does not say so"
cmp "$art/unsigned/${names[1]}/SetUp.exe" "$SETUP_EXE" || fail "an unsigned run changed SetUp.exe"
echo "signatures verify; a run without a certificate signs nothing"

# ---- 4. The unpacked 64-bit package installs --------------------------------
install_machine
dialog_install "$art/unpacked/${names[1]}/SetUp.exe" 'D:\Tools' || fail "the install from the package"
got=$(grep -o 'exited code=[0-9-]*' "$E2E_LOG" | tail -n 1)
[ "$got" = "exited code=0" ] || fail "exit code: expected 0, $got"
target=$WINEPREFIX/drive_d/Tools/V-VidudOvev
cmp "$target/$readme" "$art/source/Data/$readme" || fail "$readme was not installed: $(ls "$target")"
"$SETUP_WINE" regedit /E "$(e2e_winpath "$art/export.reg")" \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:804\Applications\VK_VidudOvev2010'
iconv -f UTF-16LE -t UTF-8 "$art/export.reg" | tr -d '\r' |
  grep -qF '"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"' || fail "no demand-load entry of 2010"
echo "the 64-bit package installs: exit code 0, $readme and the 2010 entry in place"
