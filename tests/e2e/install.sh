#!/usr/bin/env bash
# The real SetUp.exe installs end to end under Wine, operated from outside
# by control id, on a machine with AutoCAD 2008, 2009, 2010 and 2020
# (tests/fixtures/install_machine.reg) and a generated package, in either
# edition (SETUP_EDITION_BITS): the 64-bit one also serves 2020 and writes
# the extra module entries of 2009 and 2010, the 32-bit one leaves 2020 be.
#  1. the typical run: tick, type D:\Tools, install, the completion view;
#     then the registry and the files are checked, and the Programs and
#     Features entry with the Uninstall.exe and the record it points to;
#  2. a second install changes nothing more;
#  3. AutoCAD running: the warning once, then the next press installs;
#  4. a package destination held open: the Abort/Retry/Ignore box, and
#     what each answer does;
#  5. a support file held open: the problems notice before the completion view;
#  6. no package folder: the missing-Data message, and the program ends;
#  7. the folder browser opens at the field's folder, and its pick lands in
#     the field;
#  8. a drive-relative folder is refused and nothing is made; without a
#     desktop the program ends with its own code;
#  9. at 144 dpi, the completion view's shrink and its picture at that scale.
# Every run's exit code is checked against the table of engine/exit_codes.h.
# Run by run-under-x.sh. Environment: E2E_DRIVER, SETUP_EXE, ACAD_STANDIN,
# SETUP_FIXTURES, SETUP_ARTEFACTS, SETUP_SOURCE.
set -euo pipefail
. "$E2E_DIR/lib.sh"
art=$SETUP_ARTEFACTS/install
rm -rf "$art"
mkdir -p "$art"
export E2E_LOG=$art/install.log
export SETUP_DESKTOP=1
c=$WINEPREFIX/drive_c
fail() { echo "FAIL: $*"; exit 1; }

# The machine: AutoCAD's folders, a D: drive, the registry.
install_machine

package=$art/package
bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$package" >/dev/null
setup=$package/SetUp.exe
# A folder's hidden, system desktop.ini, as a package made on Windows may
# carry: its copy must not block the next install.
printf '[.ShellClassInfo]\r\n' >"$package/Data/desktop.ini"
"$SETUP_WINE" attrib +h +s "$(e2e_winpath "$package/Data/desktop.ini")"

# exited <code>: the program's exit code, as the driver last reported it.
exited() {
  local got
  got=$(grep -o 'exited code=[0-9-]*' "$E2E_LOG" | tail -n 1)
  [ "$got" = "exited code=$1" ] || fail "exit code: expected $1, $got"
}

# Everything the install may have touched: files with their digests, and
# the two registry trees as text.
snapshot() {
  (cd "$WINEPREFIX" && find drive_d "${acad_folders[@]/#/drive_c/}" "${appdata#"$WINEPREFIX"/}/Velkor" \
    -type f -print0 2>/dev/null |
    sort -z | xargs -0 md5sum)
  for root in 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk' 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk' \
    'HKEY_CURRENT_USER\SOFTWARE\Autodesk'; do
    "$SETUP_WINE" regedit /E "$(e2e_winpath "$art/export.reg")" "$root"
    iconv -f UTF-16LE -t UTF-8 "$art/export.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//'
  done
}

boxes=(1018 1019 1020 1027 1026 1028 1029 1030 1031 1032 1033 1034 1035 1036 1037 1038 1039 1040 1041 1042 1043)
completion_view() {
  for id in 1023 1021; do echo "expect $id visible=1"; done
  echo 'expect 1 visible=1 enabled=1 text=安装完成'
  for id in 2 1022 1016 1014 1017 1000 1015 "${boxes[@]}"; do echo "expect $id visible=0"; done
  echo 'expect 1013 visible=1'
  echo 'expect 1024 visible=1'
}

# ---- 1. The typical run -------------------------------------------------------
start_app "$setup"
out=$(drive <<CMDS
wait-dialog "V-批打印软件安装" 60
expect 1019 visible=1 enabled=1 checked=1
expect 1020 visible=1 enabled=1 checked=1
expect 1027 visible=1 enabled=1 checked=1
expect 1026 enabled=0 checked=0
$(if [ "$SETUP_EDITION_BITS" = 64 ]; then echo 'expect 1036 visible=1 enabled=1 checked=1'
  else echo 'expect 1036 visible=0 checked=0'; fi)
rect 0
rect 1
rect 2
settext 1000 D:\\Tools
click 1022
$(completion_view)
expect 1000 text=D:\\Tools\\V-VidudOvev
expect-windows 1
rect 0
CMDS
)
screenshot "$art/completion_view.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
click 1
wait-exit 30
CMDS
wait_app 30 || true
exited 0

# The window became shorter by the distance between the bottoms of buttons
# 1 and 2 (48 dialog units): check_shrink <what> on the driver's output of
# "rect 0", "rect 1", "rect 2" before the install and "rect 0" after it.
check_shrink() {
  before=$(sed -n '0,/^0 rect=/s/^0 rect=//p' <<<"$out")
  after=$(sed -n 's/^0 rect=//p' <<<"$out" | tail -n 1)
  local b1 b2 t0 t1 bottom0 bottom1
  b1=$(sed -n 's/^1 rect=//p' <<<"$out" | cut -d, -f4)
  b2=$(sed -n 's/^2 rect=//p' <<<"$out" | cut -d, -f4)
  IFS=, read -r _ t0 _ bottom0 <<<"$before"
  IFS=, read -r _ t1 _ bottom1 <<<"$after"
  [ $((bottom0 - bottom1)) -eq $((b2 - b1)) ] && [ "$t0" = "$t1" ] ||
    fail "$1: window $before -> $after, buttons end at $b1 and $b2"
  echo "$1: window ${before} -> ${after}, shorter by $((b2 - b1)) px"
}
check_shrink "completion view"

first=$(snapshot)
printf '%s\n' "$first" >"$art/after_first_install.txt"
has() { grep -qF -- "$1" <<<"$first" || fail "after the install: missing $1"; }
# Package files in the target, the settings file in APPDATA\Velkor.
for f in VK_VidudOvev2008.ARX VK_VidudOvev2010.ARX VK_VidudOvev2010_32.ARX ACAD2010P.dll itextsharp.dll desktop.ini; do
  has "drive_d/Tools/V-VidudOvev/$f"
done
for f in SetUp.exe Velkor_EN.shx Velkor_HZ.shx Velkor.prt5 Velkor.Ini; do
  grep -qF "drive_d/Tools/V-VidudOvev/$f" <<<"$first" && fail "$f must not be in the target folder"
done
has "/Velkor/Velkor.Ini"
# Fonts, the PDF library and the DLLs in every AutoCAD folder the edition
# serves; the driver for 2008 only.
served=("${acad_folders[@]}")
[ "$SETUP_EDITION_BITS" = 64 ] || served=("${acad_folders[@]:0:4}")
for folder in "${served[@]}"; do
  for f in Fonts/Velkor_EN.shx Fonts/Velkor_HZ.shx itextsharp.dll ACAD2007P.dll ACAD2010P.dll ACAD2013P.dll; do
    has "$folder/$f"
  done
done
if [ "$SETUP_EDITION_BITS" = 32 ]; then
  grep -qF "AutoCAD 2020/" <<<"$first" && fail "the 32-bit edition placed files for the 64-bit AutoCAD 2020"
fi
has "Program Files/AutoCAD 2008/Drv/pdfplot9.hdi"
grep -qF "AutoCAD 2010/Drv/pdfplot9.hdi" <<<"$first" && fail "the plotter driver is for 2008 only"
# Demand-load entries under each product key.
key=$(cat <<'KEYS'
[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:804\Applications\VK_VidudOvev2010]
"LOADCTRLS"=dword:00000002
"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010.ARX"
KEYS
)
grep -qF -- "$(tr '\n' '\001' <<<"$key")" <<<"$(tr '\n' '\001' <<<"$first")" || fail "demand-load entry of 2010"
for expected in \
  '"LOADER"="C:\\Program Files\\AutoCAD 2010\\ACAD2010P.dll"' \
  '"LOADER"="C:\\Program Files (x86)\\AutoCAD 2010\\ACAD2010P.dll"' \
  '"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2008.ARX"' \
  '"LOADER"="C:\\Program Files\\AutoCAD 2008\\ACAD2007P.dll"' \
  '"MANAGED"=dword:00000001' \
  '"TRUSTEDPATHS"="D:\\Tools\\V-VidudOvev"' \
  '"TRUSTEDPATHS"="C:\\TOOLS;D:\\CAD;D:\\TOOLS\\V-VIDUDOVEV"'; do
  has "$expected"
done
# The 64-bit edition: 2020 registered, and the extra module entries of 2009
# (the 2008 module) and 2010 (the 32-bit module). The 32-bit edition: none
# of these.
apps='[HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk\AutoCAD'
edition64=(
  "$apps\R23.1\ACAD-3001:804\Applications\VK_VidudOvev2020]"$'\n''"LOADCTRLS"=dword:00000002'$'\n''"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2019.ARX"'
  "$apps\R23.1\ACAD-3001:804\Applications\Velkor2020DLLP]"$'\n''"LOADCTRLS"=dword:00000002'$'\n''"LOADER"="C:\\Program Files\\Autodesk\\AutoCAD 2020\\ACAD2013P.dll"'
  "$apps\R17.2\ACAD-7001:804\Applications\VK_VidudOvev2008]"$'\n''"LOADCTRLS"=dword:00000002'$'\n''"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2008.ARX"'
  "$apps\R18.0\ACAD-8001:804\Applications\VK_VidudOvev2010_32]"$'\n''"LOADCTRLS"=dword:00000002'$'\n''"LOADER"="D:\\Tools\\V-VidudOvev\\VK_VidudOvev2010_32.ARX"'
)
# grep -F takes each line of a pattern on its own: compare the lines joined.
flat_first=$(tr '\n' '\001' <<<"$first")
for entry in "${edition64[@]}"; do
  if [ "$SETUP_EDITION_BITS" = 64 ]; then
    grep -qF -- "$(tr '\n' '\001' <<<"$entry")" <<<"$flat_first" || fail "the 64-bit edition's entry ${entry%%]*}]"
  else
    grep -qF -- "${entry%%$'\n'*}" <<<"$first" && fail "the 32-bit edition wrote ${entry%%]*}]"
  fi
done
grep -qF 'R17.2\ACAD-7001:804\Applications\VK_VidudOvev2009]' <<<"$first" || fail "demand-load entry of 2009"
[ "$(grep -c '"TRUSTEDPATHS"="D:\\\\Tools\\\\V-VidudOvev"' <<<"$first")" = 2 ] ||
  fail "the empty and the missing trusted paths both become the folder"
echo "typical run: files and registry as expected"

# The Programs and Features entry, under HKLM (or HKCU for an account that
# cannot write the machine's list), and the uninstaller and the record it
# points to: below ProgramData when the install ran with administrator
# rights, in the install folder otherwise.
entry=
for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
  rm -f "$art/entry.reg"
  "$SETUP_WINE" regedit /E "$(e2e_winpath "$art/entry.reg")" \
    "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\V-VidudOvev" || true
  if [ -s "$art/entry.reg" ]; then
    entry=$(iconv -f UTF-16LE -t UTF-8 "$art/entry.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//')
    echo "entry under $root"
    break
  fi
done
[ -n "$entry" ] || fail "no Programs and Features entry"
printf '%s\n' "$entry" >"$art/uninstall_entry.txt"
uninstaller=$(sed -n 's/^"UninstallString"="\\"\(.*\)\\" \/uninstall"$/\1/p' <<<"$entry" | sed 's/\\\\/\\/g')
[ -n "$uninstaller" ] || fail "UninstallString: $(grep UninstallString <<<"$entry")"
record_folder=${uninstaller%\\Uninstall.exe}
case ${record_folder,,} in
  'c:\programdata\v-vidudovev\'????????????????|'d:\tools\v-vidudovev') ;;
  *) fail "the uninstaller is kept in $record_folder" ;;
esac
esc=${uninstaller//\\/\\\\}
version=${SETUP_VERSION:0:4}.${SETUP_VERSION:4:2}.${SETUP_VERSION:6:2}
for expected in '"DisplayName"="批打印软件"' "\"DisplayVersion\"=\"$version\"" '"Publisher"="Velkor"' \
  '"InstallLocation"="D:\\Tools\\V-VidudOvev"' "\"DisplayIcon\"=\"$esc\"" \
  "\"QuietUninstallString\"=\"\\\"$esc\\\" /uninstall /S\"" '"NoModify"=dword:00000001' \
  '"NoRepair"=dword:00000001' "\"EditionBits\"=dword:$(printf '%08x' "$SETUP_EDITION_BITS")"; do
  grep -qxF -- "$expected" <<<"$entry" || fail "entry: missing $expected"
done
grep -qx '"EstimatedSize"=dword:0000[0-9a-f]*' <<<"$entry" || fail "entry: no EstimatedSize"
drive_letter=${record_folder:0:1}
unix_record=$WINEPREFIX/drive_${drive_letter,,}/${record_folder:3}
unix_record=${unix_record//\\//}
unix_record=$(find "$(dirname "$unix_record")" -maxdepth 1 -iname "$(basename "$unix_record")" | head -n 1)
[ -n "$unix_record" ] || fail "no folder $record_folder"
cmp -s "$setup" "$unix_record/Uninstall.exe" || fail "Uninstall.exe is not a copy of SetUp.exe"
grep -qF 'Uninstall.exe' "$unix_record/install_record.txt" || fail "the record does not list Uninstall.exe"
echo "Programs and Features entry: $uninstaller"

# ---- 2. A second install changes nothing more ---------------------------------
# but for the package's new desktop.ini, copied over the hidden one.
printf '[.ShellClassInfo]\r\nIconResource=setup.ico\r\n' >"$package/Data/desktop.ini"
"$SETUP_WINE" attrib +h +s "$(e2e_winpath "$package/Data/desktop.ini")"
dialog_install "$setup" 'D:\Tools' || fail "the second install"
exited 0
second=$(snapshot)
grep -q IconResource "$WINEPREFIX/drive_d/Tools/V-VidudOvev/desktop.ini" || fail "the hidden desktop.ini was not replaced"
# The trusted paths are stored back upper-cased once they hold anything:
# the same folders, AutoCAD reads them ignoring case.
fold() { sed '/^"TRUSTEDPATHS"=/y/abcdefghijklmnopqrstuvwxyz/ABCDEFGHIJKLMNOPQRSTUVWXYZ/'; }
# The install's record notes the new desktop.ini's size and hash.
grep -q 'desktop.ini' "$unix_record/install_record.txt" || fail "the record does not list desktop.ini"
diff <(printf '%s\n' "$first" | fold | grep -v -e desktop.ini -e install_record.txt) \
  <(printf '%s\n' "$second" | fold | grep -v -e desktop.ini -e install_record.txt) >"$art/second_install.diff" ||
  fail "the second install changed something: $(head -5 "$art/second_install.diff")"
echo "second install: nothing changed"

# AutoCAD's stand-in, holding a file (or nothing) open without sharing.
acad_pid=
start_acad() {
  "$SETUP_WINE" "$ACAD_STANDIN" "$@" &
  acad_pid=$!
  sleep 2
}
# One that has ended by itself already is no failure of the scenario.
stop_acad() {
  if [ -n "$acad_pid" ]; then
    kill "$acad_pid" 2>/dev/null || true
    wait "$acad_pid" 2>/dev/null || true
  fi
  acad_pid=
  sleep 1
}

# ---- 3. AutoCAD running: warned once ------------------------------------------
start_acad
start_app "$setup"
drive <<CMDS
wait-dialog "V-批打印软件安装" 60
settext 1000 D:\\Tools
click 1022
wait-box V-软件安装 20
expect-windows 2
CMDS
screenshot "$art/warning.png"
drive <<CMDS
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 1
expect 1000 visible=1
expect 1022 visible=1
click 1022
$(completion_view)
click 1
wait-exit 30
CMDS
wait_app 30 || true
grep -q 'text=请关闭AutoCAD后再进行安装 !' "$E2E_LOG" || fail "the warning's text"
stop_acad
echo "AutoCAD running: warned once, then installed"

# ---- 4. A package destination held open -----------------------------------------
held='D:\Tools\V-VidudOvev\VK_VidudOvev2010.ARX'
for answer in ignore retry abort; do
  start_acad "$held"
  start_app "$setup"
  drive <<CMDS
wait-dialog "V-批打印软件安装" 60
settext 1000 D:\\Tools
click 1022
wait-box V-软件安装 20
answer 1
click 1022
wait-box V-软件安装 30
expect-windows 2
CMDS
  [ "$answer" = ignore ] && screenshot "$art/copy_failure.png"
  grep -q 'buttons=3,4,5' "$E2E_LOG" || fail "the copy failure box offers Abort, Retry and Ignore"
  grep -qF 'D:\Tools\V-VidudOvev\VK_VidudOvev2010.ARX' "$E2E_LOG" || fail "the box names the file"
  case $answer in
    ignore)
      # The file let go is listed in the problems notice.
      drive <<CMDS
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 5
wait-box V-软件安装 30
answer 1
$(completion_view)
click 1
wait-exit 30
CMDS
      grep -qF '文件未复制：D:\Tools\V-VidudOvev\VK_VidudOvev2010.ARX（错误 32）' "$E2E_LOG" ||
        fail "the ignored file is listed in the notice"
      exited 4
      ;;
    retry)
      # Retry while it is held: the box again. Then AutoCAD lets go.
      drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 4
wait-box V-软件安装 20
CMDS
      stop_acad
      drive <<CMDS
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 4
$(completion_view)
click 1
wait-exit 30
CMDS
      exited 0
      ;;
    abort)
      drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 3
wait-exit 30
CMDS
      exited 3
      ;;
  esac
  wait_app 30 || true
  stop_acad
  echo "copy failure answered with $answer: as expected"
done

# ---- 5. A support file held open: the problems notice -----------------------------
start_acad 'C:\Program Files\AutoCAD 2010\ACAD2010P.dll'
start_app "$setup"
drive <<CMDS
wait-dialog "V-批打印软件安装" 60
settext 1000 D:\\Tools
click 1022
wait-box V-软件安装 20
answer 1
click 1022
wait-box V-软件安装 30
expect 1023 visible=0
CMDS
screenshot "$art/problems_notice.png"
grep -qF '[2010] 文件未复制：C:\Program Files\AutoCAD 2010\ACAD2010P.dll（错误 32）' "$E2E_LOG" ||
  fail "the notice names the held file, its release and the error"
drive <<CMDS
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 1
$(completion_view)
click 1
wait-exit 30
CMDS
wait_app 30 || true
exited 4
stop_acad
echo "problems notice: shown before the completion view"

# ---- 6. No package folder -------------------------------------------------------
mkdir -p "$art/alone"
cp "$SETUP_EXE" "$art/alone/SetUp.exe"
start_app "$art/alone/SetUp.exe"
drive <<CMDS
wait-dialog "V-批打印软件安装" 60
settext 1000 D:\\Alone
click 1022
wait-box V-软件安装 20
CMDS
screenshot "$art/missing_data.png"
grep -q 'text=未找到安装所需的Data文件夹' "$E2E_LOG" || fail "the missing-Data message"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
wait-box V-软件安装 5
answer 1
wait-exit 30
CMDS
wait_app 30 || true
exited 2
echo "no package folder: told, and the program ended"

# ---- 7. The folder browser --------------------------------------------------------
mkdir -p "$c/Plot Here"
start_app "$setup"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 60
settext 1000 "C:\Plot Here"
click 1015
wait-box 选择文件夹 20
controls box
CMDS
screenshot "$art/browser.png"
grep -q 'class=Edit visible=1 text=Plot Here' "$E2E_LOG" || fail "the browser opens at the field's folder"
grep -q 'text=请选择安装目录：' "$E2E_LOG" || fail "the browser's title"
# Picked, then the field emptied: the next browse opens at the pick, and
# its pick lands in the empty field.
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
wait-box 选择文件夹 5
answer 1
expect 1000 text="C:\Plot Here"
settext 1000 ""
click 1015
wait-box 选择文件夹 20
controls box
answer 1
expect 1000 text="C:\Plot Here"
expect 1022 enabled=1
click 2
wait-exit 30
CMDS
[ "$(grep -c 'class=Edit visible=1 text=Plot Here' "$E2E_LOG")" = 2 ] || fail "the second browse opens at the pick"
wait_app 30 || true
exited 1
echo "folder browser: opened at the field's folder; the pick landed in the field"

# ---- 8. A drive-relative folder; no desktop -------------------------------------
start_app "$setup"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 60
settext 1000 C:Relative
click 1022
wait-box V-软件安装 20
answer 1
expect 1000 visible=1 text=C:Relative
expect 1022 visible=1
click 2
wait-exit 30
CMDS
wait_app 30 || true
grep -q 'text=安装路径必须是完整路径' "$E2E_LOG" || fail "the drive-relative folder's message"
[ -z "$(find "$WINEPREFIX/drive_c" "$package" -maxdepth 3 -name 'Relative*' -print -quit)" ] ||
  fail "a drive-relative folder was made"
exited 1
echo "drive-relative folder: refused, nothing made"
rc=0
stop_wine
timeout 60 env -u DISPLAY "$SETUP_WINE" "$setup" >/dev/null 2>&1 || rc=$?
# The server that start made has no display: the next program gets its own.
stop_wine
[ "$rc" = 5 ] || fail "without a desktop the program ends with 5, not $rc"
echo "no desktop: exit code 5"

# ---- 9. At 144 dpi (150 %) the completion view fits as well -------------------
# The program is aware of the DPI: on a laptop's desktop at that scale the
# dialog is made larger, the window still shrinks by the distance of the
# buttons' bottoms, and the menu picture is the one drawn for 150 %.
set_dpi() {
  "$SETUP_WINE" reg add 'HKEY_CURRENT_USER\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
trap 'set_dpi 96' EXIT
set_dpi 144
E2E_DESKTOP_SIZE=1920x1080 start_app "$setup"
out=$(drive <<CMDS
wait-dialog "V-批打印软件安装" 60
rect 0
rect 1
rect 2
settext 1000 D:\\Tools
click 1022
$(completion_view)
pictures
rect 0
CMDS
)
screenshot "$art/completion_view_144dpi_screen.png"
check_shrink "completion view at 144 dpi"
grep -q '^picture 1 id=1021 size=461x263$' <<<"$out" || fail "at 144 dpi: the menu picture is not the 150 % one"
crop "$art/completion_view_144dpi_screen.png" "$after" "$art/completion_view_144dpi.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
click 1
wait-exit 30
CMDS
wait_app 30 || true
exited 0
# ---- 10. A large package: the window repaints and answers while it copies -----
# Three thousand files: the install takes seconds, in which the dialog must
# keep handling its messages (its progress bar is read from here), take no
# input (Cancel grey), and come back to the completion view.
set_dpi 96
big=$art/big
rm -rf "$big" "$WINEPREFIX/drive_d/Big"
mkdir -p "$big"
cp -r "$package/." "$big/"
head -c $((3000 * 32768)) /dev/zero | split -b 32768 -a 4 -d --additional-suffix=.dat - "$big/Data/Velkor_Part"
start_app "$big/SetUp.exe"
out=$(drive <<'CMDS'
wait-dialog "V-批打印软件安装" 60
settext 1000 D:\Big
post-click 1022
wait-progress 1014 60
responsive 2000
sleep 300
expect 2 visible=1 enabled=0
rect 0
CMDS
)
screenshot "$art/install_progress_screen.png"
grep -q '^responsive ok enabled=0$' <<<"$out" || fail "mid-copy: the dialog did not answer, or took input"
crop "$art/install_progress_screen.png" "$(sed -n 's/^0 rect=//p' <<<"$out")" "$art/install_progress.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
wait-visible 1 300
sleep 500
expect 1023 visible=1
click 1
wait-exit 30
CMDS
wait_app 30 || true
exited 0
[ "$(find "$WINEPREFIX/drive_d/Big/V-VidudOvev" -name 'Velkor_Part*.dat' | wc -l)" = 3000 ] ||
  fail "the large package was not copied whole"
echo "large package: the dialog answered mid-copy with its bar advanced, and took no input"

echo "install: all checks passed"
