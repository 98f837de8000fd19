#!/usr/bin/env bash
# The uninstall and the unattended runs of the real SetUp.exe under Wine,
# on the machine of the install scenarios (lib.sh install_machine):
#  1. a typical install through the dialog, then the Programs and Features
#     entry's UninstallString run and driven through its two boxes: the
#     machine is as before the install (registry exports and files), the
#     settings file aside, and nothing is left in %TEMP%;
#  2. SetUp.exe /S /D=D:\Tools: exit code 0, no window, the same registry
#     and files as the dialog's install, and the log (UTF-8, a mark) with
#     its header and exit code; the versions (12 under a newer one,
#     /FORCE, an upgrade in place over an older one), a move to another
#     folder and the sign-in stub's runs; then the QuietUninstallString: 0,
#     and the machine as before again;
#  3. /R= with a year not found, AutoCAD running with and without /FORCE
#     (for the install and the uninstall), no Data, a bad switch: each its
#     exit code, and nothing done where nothing may be; /? and a refusal
#     printed to the caller's output;
#  4. a record that names other programs' files (one through ".."): they
#     stay, and the uninstall ends with 10.
# Run by run-under-x.sh. Environment: E2E_DRIVER, SETUP_EXE, ACAD_STANDIN,
# SETUP_FIXTURES, SETUP_ARTEFACTS, SETUP_SOURCE, SETUP_EDITION_BITS.
set -euo pipefail
. "$E2E_DIR/lib.sh"
art=$SETUP_ARTEFACTS/unattended
rm -rf "$art"
mkdir -p "$art"
export E2E_LOG=$art/driver.log
fail() { echo "FAIL: $*"; exit 1; }

install_machine
temp=$(find "$c/users" -maxdepth 3 -type d -iname temp -path '*/users/*' | head -n 1)
[ -n "$temp" ] || fail "no Temp folder in the prefix"
rm -rf "$temp"/V-VidudOvev-*
package=$art/package
bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$package" >/dev/null
setup=$package/SetUp.exe
# The entry lands in the program's registry view: the 32-bit edition's
# below Wow6432Node on 64-bit Windows (the test build of that edition is a
# 64-bit program, and writes the native view).
entry='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev'

# Everything an install may touch, the settings folder left out (the
# uninstall keeps it), the elevated log (kept too) and the sign-in stub
# (kept for the accounts not signed in yet): files with their digests, the
# registry trees as text.
snapshot() {
  e2e_snapshot "$art/export.reg" drive_d "${acad_folders[@]/#/drive_c/}" drive_c/ProgramData/V-VidudOvev -- \
    'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk' 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk' \
    'HKEY_CURRENT_USER\SOFTWARE\Autodesk' "$entry" \
    'HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev'
}
same_as() {
  local now
  now=$(snapshot)
  diff <(printf '%s\n' "$2") <(printf '%s\n' "$now") >"$art/$1.diff" || fail "$1: $(head -8 "$art/$1.diff")"
}
# run <expected code> <args...>: the program without a window to drive.
# A code above 255 reaches the shell cut to its low 8 bits; the whole one is
# in the line the program prints at its end.
run() {
  local expected=$1 rc=0
  shift
  timeout 120 "$SETUP_WINE" "$@" >"$art/out.txt" 2>&1 || rc=$?
  [ "$rc" = "$((expected % 256))" ] || fail "$*: exit code $rc, expected $expected"
  if [ "$expected" -gt 255 ]; then
    grep -q "exit code $expected" "$art/out.txt" || fail "$*: the printed code is not $expected: $(tail -1 "$art/out.txt")"
  fi
}
# The value of the entry, as reg query prints it.
entry_value() {
  "$SETUP_WINE" reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
# No %TEMP% copy of the uninstaller left, once the command processor it
# started has had its time.
temp_clean() {
  local waited=0
  while compgen -G "$temp/V-VidudOvev-uninstall-*" >/dev/null; do
    [ "$waited" -lt 30 ] || fail "left in %TEMP%: $(ls "$temp" | grep V-VidudOvev-uninstall)"
    sleep 1
    waited=$((waited + 1))
  done
}
# A Windows path of the prefix's C: or D: drive as a Unix path.
unix_path() {
  local drive=${1:0:1} rest=${1:3}
  case $drive in
    [Cc]) printf '%s/%s\n' "$c" "${rest//\\//}" ;;
    *) printf '%s/%s\n' "$WINEPREFIX/drive_${drive,,}" "${rest//\\//}" ;;
  esac
}
# Waits until the record folders are gone (the command processor removes
# the uninstaller and its folder after both programs have ended).
gone() {
  local waited=0
  while [ -e "$1" ]; do
    [ "$waited" -lt 30 ] || fail "still there: $1 ($(ls "$1" 2>&1))"
    sleep 1
    waited=$((waited + 1))
  done
}

before=$(snapshot)
printf '%s\n' "$before" >"$art/before.txt"

# ---- 1. Install through the dialog, uninstall through Programs and Features --
dialog_install "$setup" 'D:\Tools' || fail "the dialog's install"
installed=$(snapshot)
printf '%s\n' "$installed" >"$art/installed.txt"
uninstall=$(entry_value UninstallString)
[ -n "$uninstall" ] || fail "no UninstallString in $entry"
program=${uninstall%\" /uninstall}
program=${program#\"}
[ "$uninstall" = "\"$program\" /uninstall" ] || fail "UninstallString: $uninstall"
start_app "$program" /uninstall
out=$(drive <<'CMDS'
wait-dialog "V-软件卸载" 60
controls
post-click 6
sleep 1000
wait-dialog "V-软件卸载" 60
controls
CMDS
) || fail "the uninstall's boxes: $out"
screenshot "$art/uninstall_done.png"
grep -q '确定要从本机卸载批打印软件吗' <<<"$out" || fail "the confirmation's text: $out"
grep -q '已删除' <<<"$out" || fail "the closing box's text: $out"
# Wine's account runs with a full token, so the log is the elevated one.
grep -q '日志文件：C:\\ProgramData\\V-VidudOvev\\V-VidudOvev-setup.log' <<<"$out" ||
  fail "the closing box does not name the log: $out"
drive <<'CMDS' >/dev/null || fail "closing the last box"
wait-dialog "V-软件卸载" 10
post-click 1
CMDS
rc=0
wait_app 60 || rc=$?
[ "$rc" = 0 ] || fail "the uninstall ended with $rc"
temp_clean
gone "$(unix_path "$program")"
gone "$WINEPREFIX/drive_d/Tools/V-VidudOvev"
same_as "uninstall after the dialog's install" "$before"
[ -f "$appdata/Velkor/Velkor.Ini" ] || fail "the settings file was not kept"
echo "dialog install, then UninstallString: the machine is as before, the settings file kept"

# ---- 2. Silent install, then the quiet uninstall --------------------------------
# Elevated (Wine's account), so the log is in %ProgramData%. A standard
# user squats that folder's name with a file first: it is moved aside, and
# the record and the uninstaller still go where only administrators write.
log=$WINEPREFIX/drive_c/ProgramData/V-VidudOvev/V-VidudOvev-setup.log
rm -rf "$c/ProgramData/V-VidudOvev" "$c/ProgramData"/V-VidudOvev.moved-*
printf "a user's" >"$c/ProgramData/V-VidudOvev"
start_app "$setup" /S '/D=D:\Tools'
windows=0
for _ in 1 2 3 4 5 6; do
  if "$SETUP_WINE" "$E2E_DRIVER" <<<'wait-dialog "V-批打印软件安装" 1' >/dev/null 2>&1 ||
     "$SETUP_WINE" "$E2E_DRIVER" <<<'wait-dialog "V-软件安装" 1' >/dev/null 2>&1; then
    windows=1
  fi
done
rc=0
wait_app 120 || rc=$?
[ "$rc" = 0 ] || fail "/S /D=D:\\Tools ended with $rc"
[ "$windows" = 0 ] || fail "the silent install showed a window"
same_as "silent install" "$installed"
[ -f "$log" ] || fail "no log at $log"
head -c 3 "$log" | cmp -s - <(printf '\xEF\xBB\xBF') || fail "the log does not start with the UTF-8 mark"
iconv -f UTF-8 -t UTF-8 "$log" >/dev/null || fail "the log is not UTF-8"
cp "$log" "$art/silent.log"
for line in '/S /D=D:\Tools' 'VK_VidudOvev2010.ARX' 'TRUSTEDPATHS' ; do
  grep -qF -- "$line" "$log" || fail "the log lacks $line"
done
tail -n 1 "$log" | grep -q '^exit code 0' || fail "the log does not end with the exit code: $(tail -n 3 "$log")"
[ -d "$c/ProgramData/V-VidudOvev" ] || fail "the squatted %ProgramData%\\V-VidudOvev is no folder"
squat=$(compgen -G "$c/ProgramData/V-VidudOvev.moved-*" | head -n 1)
[ -n "$squat" ] && [ "$(cat "$squat")" = "a user's" ] || fail "the squatter's file was not moved aside: $(ls "$c/ProgramData")"
case $(entry_value UninstallString) in
  '"C:\ProgramData\V-VidudOvev\'*) ;;
  *) fail "the UninstallString does not lie in the protected folder: $(entry_value UninstallString)" ;;
esac
rm -f "$squat"
# The sign-in stub: Explorer runs its StubPath as each account signs in.
# Wine's account got its parts from the install, and keeps its lists as
# they are; the stub notes the folder in the account's own record.
component="HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\V-VidudOvev-$SETUP_EDITION_BITS"
component_value() {
  "$SETUP_WINE" reg query "$component" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
stub="C:\\ProgramData\\V-VidudOvev\\PerUser-$SETUP_EDITION_BITS\\Uninstall.exe"
[ "$(component_value StubPath)" = "\"$stub\" /peruser" ] || fail "the component's StubPath: $(component_value StubPath)"
armed=$(component_value Version)
own_record=$appdata/V-VidudOvev-$SETUP_EDITION_BITS/install_record.txt
run 0 "$stub" /peruser
grep -qF 'D:\\Tools\\V-VidudOvev' "$own_record" || fail "the stub's record: $(cat "$own_record" 2>&1)"
# A second sign-in changes nothing.
signed_in=$(snapshot)
cp "$own_record" "$art/own_record.first"
run 0 "$stub" /peruser
same_as "a second sign-in" "$signed_in"
cmp -s "$own_record" "$art/own_record.first" || fail "a second sign-in changed the account's record"
# Versions, as the entry tells them: a newer one installed refuses this
# build (12, nothing changed) unless /FORCE; over an older one this build
# upgrades in place, its files replacing the earlier build's.
ours=$(entry_value DisplayVersion)
"$SETUP_WINE" reg add "$entry" /v DisplayVersion /d 2099.01.01 /f >/dev/null
newer=$(snapshot)
run 12 "$setup" /S '/D=D:\Tools'
same_as "an older build over a newer one" "$newer"
run 0 "$setup" /S '/D=D:\Tools' /FORCE
[ "$(entry_value DisplayVersion)" = "$ours" ] || fail "/FORCE left DisplayVersion $(entry_value DisplayVersion)"
"$SETUP_WINE" reg add "$entry" /v DisplayVersion /d 2000.01.01 /f >/dev/null
cp "$package/Data/VK_VidudOvev2010.ARX" "$art/module.kept"
printf 'the next build\r\n' >"$package/Data/VK_VidudOvev2010.ARX"
run 0 "$setup" /S '/D=D:\Tools'
cmp -s "$package/Data/VK_VidudOvev2010.ARX" "$WINEPREFIX/drive_d/Tools/V-VidudOvev/VK_VidudOvev2010.ARX" ||
  fail "the upgrade did not replace the earlier build's module"
[ "$(entry_value DisplayVersion)" = "$ours" ] || fail "the upgrade left DisplayVersion $(entry_value DisplayVersion)"
[ "$(find "$c/ProgramData/V-VidudOvev" -name install_record.txt | wc -l)" = 1 ] || fail "more than one record after the upgrade"
cp "$art/module.kept" "$package/Data/VK_VidudOvev2010.ARX"
echo "versions: 12 under a newer one, /FORCE goes on; over an older one, an upgrade in place"
quiet=$(entry_value QuietUninstallString)
[ "$quiet" = "$uninstall /S" ] || fail "QuietUninstallString: $quiet"
# Another folder moves the install: nothing of D:\Tools stays, one entry
# names the new record, and its quiet uninstall leaves the machine as before.
run 0 "$setup" /S '/D=D:\Moved'
[ ! -e "$WINEPREFIX/drive_d/Tools" ] || fail "the move left D:\\Tools: $(find "$WINEPREFIX/drive_d/Tools" | head -5)"
[ -f "$WINEPREFIX/drive_d/Moved/V-VidudOvev/VK_VidudOvev2010.ARX" ] || fail "nothing installed in D:\\Moved"
[ "$(find "$c/ProgramData/V-VidudOvev" -name install_record.txt | wc -l)" = 1 ] || fail "more than one record after the move"
program=$(entry_value UninstallString)
program=${program%\" /uninstall}
program=${program#\"}
[ "$program" != "${uninstall%\" /uninstall}" ] || fail "the entry still names the earlier record: $program"
# The move armed the stub again, higher: its run takes its record from
# D:\Tools to D:\Moved.
[ "$(component_value Version)" != "$armed" ] || fail "the move did not raise the component's Version ($armed)"
run 0 "$stub" /peruser
grep -qF 'D:\\Moved\\V-VidudOvev' "$own_record" && ! grep -qF 'D:\\Tools' "$own_record" ||
  fail "the stub's record after the move: $(cat "$own_record" 2>&1)"
armed=$(component_value Version)
run 0 "$program" /uninstall /S
temp_clean
gone "$(unix_path "$program")"
# The uninstall armed the stub to remove: the account's next sign-in takes
# its record out.
[ "$(component_value Version)" != "$armed" ] || fail "the uninstall did not raise the component's Version ($armed)"
run 0 "$stub" /peruser
[ ! -e "$own_record" ] || fail "the stub left the account's record: $(cat "$own_record")"
same_as "quiet uninstall" "$before"
echo "silent install: 0, no window, as the dialog's, logged; moved to another folder; the sign-in stub follows; quiet uninstall: 0, as before"

# ---- 3. Each unattended ending and its code -----------------------------------
run 7 "$setup" /S '/D=D:\Tools' /R=2021
[ ! -e "$WINEPREFIX/drive_d/Tools" ] || fail "/R=2021 made the folder"
run 6 "$setup" /S /X
# From a console (here a pipe) the usage and the refusal are printed, no box.
run 0 "$setup" '/?'
grep -q '/uninstall' "$art/out.txt" && grep -q 'Usage' "$art/out.txt" || fail "/? printed: $(head -3 "$art/out.txt")"
run 6 "$setup" /X
grep -q '/X' "$art/out.txt" || fail "the refusal printed: $(head -3 "$art/out.txt")"
run 6 "$setup" /S '/R=20x8'
mkdir -p "$art/alone"
cp "$SETUP_EXE" "$art/alone/SetUp.exe"
run 2 "$art/alone/SetUp.exe" /S '/D=D:\Alone'
"$SETUP_WINE" "$ACAD_STANDIN" &
acad_pid=$!
sleep 2
run 1618 "$setup" /S '/D=D:\Tools'
[ ! -e "$WINEPREFIX/drive_d/Tools" ] || fail "AutoCAD running: the silent install made the folder"
run 0 "$setup" /S '/D=D:\Tools' /FORCE
program=$(entry_value UninstallString)
program=${program%\" /uninstall}
program=${program#\"}
run 1618 "$program" /uninstall /S
[ -e "$WINEPREFIX/drive_d/Tools/V-VidudOvev/VK_VidudOvev2010.ARX" ] || fail "AutoCAD running: the silent uninstall removed files"
run 0 "$program" /uninstall /S /FORCE
kill "$acad_pid" 2>/dev/null; wait "$acad_pid" 2>/dev/null || true
temp_clean
gone "$(unix_path "$program")"
same_as "forced uninstall" "$before"
echo "exit codes: 7 for a year not found, 6 for a bad switch, 2 without Data, 1618 while AutoCAD runs, 0 forced"

# ---- 4. One run at a time -----------------------------------------------------
# While a dialog is open, a second run (a deployment tool's) retries later.
start_app "$setup"
drive <<<'wait-dialog "V-批打印软件安装" 60' >/dev/null
run 1618 "$setup" /S '/D=D:\Second'
[ ! -e "$WINEPREFIX/drive_d/Second" ] || fail "the second run made its folder"
drive <<<'wait-dialog "V-批打印软件安装" 5
close' >/dev/null
rc=0
wait_app 30 || rc=$?
[ "$rc" = 1 ] || fail "the first run, closed: exit code $rc, expected 1"
echo "a second run while the dialog is open: 1618, nothing made"

# ---- 4. A record naming files outside the install's places -------------------
# Someone who can write the record adds other programs' files to it, with
# their right digests, one of them reached through "..": the uninstall
# leaves both untouched, ends with 10, and still removes what is the
# install's own.
fnv1a64() {
  local h=$((0xcbf29ce484222325)) b
  for b in $(od -An -tu1 -v "$1"); do h=$(((h ^ b) * 0x100000001b3)); done
  printf '%016x\n' "$h"
}
# A journal line as the record writes it: the text, a tab, the digest of
# the text (its mark).
journal_line() {
  printf '%s' "$1" >"$art/line.txt"
  printf '%s\t%s\n' "$1" "$(fnv1a64 "$art/line.txt")"
}
run 0 "$setup" /S '/D=D:\Tools'
program=$(entry_value UninstallString)
program=${program%\" /uninstall}
program=${program#\"}
record=$(unix_path "${program%\\*}")/install_record.txt
[ -f "$record" ] || fail "no record beside $program"
outside=$WINEPREFIX/drive_d/Outside
mkdir -p "$outside"
printf "another program's library" >"$outside/itextsharp.dll"
printf '127.0.0.1 localhost' >"$outside/hosts"
for planted in 'D:\\Outside\\itextsharp.dll:itextsharp.dll' \
  'D:\\Tools\\V-VidudOvev\\..\\..\\Outside\\hosts:hosts'; do
  file=$outside/${planted##*:}
  journal_line "$(printf 'file\t%s\t%s\t%s' "${planted%:*}" "$(stat -c %s "$file")" "$(fnv1a64 "$file")")" >>"$record"
done
run 10 "$program" /uninstall /S
[ "$(cat "$outside/itextsharp.dll")" = "another program's library" ] || fail "a planted record removed D:\\Outside\\itextsharp.dll"
[ "$(cat "$outside/hosts")" = '127.0.0.1 localhost' ] || fail "a planted record with .. removed D:\\Outside\\hosts"
[ ! -e "$WINEPREFIX/drive_d/Tools/V-VidudOvev/VK_VidudOvev2010.ARX" ] || fail "the planted record kept the install's own files"
grep -qF 'Outside' "$record" || fail "the record no longer names what was left: $(cat "$record")"
temp_clean
echo "a planted record: the files it names outside the install stay, the uninstall ends with 10"

echo "unattended: all checks passed"
