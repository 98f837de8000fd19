#!/usr/bin/env bash
# The real SetUp.exe on a machine with AutoCAD 2007, 2008, 2010, 2011, 2014,
# 2018 and 2024 (tests/fixtures/selection_machine.reg), operated from outside
# by control id: the selection view control by control, the install button
# following the ticks, the dialog colour read back from a screenshot, every
# way of closing the dialog ending the program with no other window, and
# the dialog centred on the work area with its texts whole, at 96 dpi and
# at 144 dpi (150 %), where the pictures are the ones drawn for that scale.
# Run by run-under-x.sh. Environment: E2E_DRIVER, SETUP_EXE, SETUP_FIXTURES,
# SETUP_ARTEFACTS (screenshots go there), SETUP_EDITION_BITS, SETUP_VERSION.
set -euo pipefail
. "$E2E_DIR/lib.sh"
mkdir -p "$SETUP_ARTEFACTS"
export E2E_LOG=$SETUP_ARTEFACTS/selection_view.log
: >"$E2E_LOG"
export SETUP_DESKTOP=1

"$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/wine_songti.reg")"
"$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/selection_machine.reg")"

version=$SETUP_VERSION
major=$((version / 10000)) minor=$((version % 10000 / 100)) patch=$((version % 100))
title=$(printf '批打印软件 V%d.%02d.%02d' "$major" "$minor" "$patch")
edition="( ${SETUP_EDITION_BITS}位 AutoCAD版 )"
ids=(1018 1019 1020 1027 1026 1028 1029 1030 1031 1032 1033 1034 1035 1036 1037 1038 1039 1040 1041 1042 1043)
found=" 2007 2008 2010 2011 2014 2018 2024 "
program_lang=$LANG

# The display's DPI as Wine reads it when a program starts.
set_dpi() {
  "$SETUP_WINE" reg add 'HKEY_CURRENT_USER\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
# The prefix is shared with the other scenarios: leave it at 96 dpi.
trap 'set_dpi 96' EXIT

# Centred, every static text whole in its own font (the template's 9 pt
# 宋体, the title's and edition's label fonts, all scaled by the DPI), and
# the pictures' sizes.
placement() {
  local dpi=$1
  echo 'expect-centred'
  echo "expect-fits -$(( (9 * dpi + 36) / 72 )) 400 宋体 1016 1017"
  echo "expect-fits $(( (14 * dpi + 48) / 96 )) 600 宋体 1013"
  echo "expect-fits $(( (13 * dpi + 48) / 96 )) 400 宋体 1024"
  echo 'pictures'
  echo 'rect 0'
}

# The selection view, every control the program addresses.
selection_view() {
  echo 'wait-dialog "V-批打印软件安装" 60'
  for k in "${!ids[@]}"; do
    year=$((2007 + k)) visible=1 enabled=0 checked=0
    [[ $found == *" $year "* ]] && enabled=1
    [ "$SETUP_EDITION_BITS" = 32 ] && [ "$year" -ge 2017 ] && visible=0
    [ "$enabled" = 1 ] && [ "$visible" = 1 ] && checked=1
    echo "expect ${ids[$k]} visible=$visible enabled=$enabled checked=$checked text=\"For AutoCAD$year\""
  done
  echo "expect 1013 visible=1 text=\"$title\""
  echo "expect 1024 visible=1 text=\"$edition\""
  echo 'expect 1000 visible=1 enabled=1 text=C:\Velkor'
  echo 'expect 1015 visible=1 enabled=1 text=浏览...'
  echo 'expect 1016 visible=1 text=请选择安装组件：'
  echo 'expect 1017 visible=1 text=请选择安装路径：'
  echo 'expect 1022 visible=1 enabled=1 text="安  装"'
  echo 'expect 2 visible=1 enabled=1 text="取  消"'
  for hidden in 1 1014 1021 1023; do echo "expect $hidden visible=0"; done
  echo 'expect-windows 1'
}

# 1. The view, then the ticks: untick every found release, the button
#    goes grey; tick one again, it comes back.
{
  selection_view
  for year in $found; do
    [ "$SETUP_EDITION_BITS" = 32 ] && [ "$year" -ge 2017 ] && continue
    k=$((year - 2007))
    echo "click ${ids[$k]}"
    echo "expect ${ids[$k]} checked=0"
  done
  echo 'expect 1022 enabled=0'
  echo 'click 1027'
  echo 'expect 1027 checked=1'
  echo 'expect 1022 enabled=1'
  echo 'rect 0'
} >"$SETUP_ARTEFACTS/selection_view.cmds"
start_app "$SETUP_EXE"
out=$(drive "$SETUP_ARTEFACTS/selection_view.cmds")
screenshot "$SETUP_ARTEFACTS/selection_view_ticks.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
close
wait-exit 30
CMDS
wait_app 30 || true

# The dialog background, read from the screen at the right edge of the
# release area, where no control lies (the desktop starts at 0,0).
dialog=$(sed -n 's/^0 rect=//p' <<<"$out")
IFS=, read -r _ dt dr _ <<<"$dialog"
x=$((dr - 12)) y=$((dt + 200))
colour=$(pixel "$SETUP_ARTEFACTS/selection_view_ticks.png" "$x" "$y")
echo "background at ($x, $y): $colour"
[ "$colour" = "170,210,150" ] || { echo "FAIL: dialog background is not RGB(170,210,150)"; exit 1; }

# 2. Every way out ends the program, and nothing else opens.
for way in cancel escape closebox enter-on-box enter-in-field; do
  case $way in
    cancel) act='click 2' ;;
    escape) act='key 1018 ESCAPE' ;;
    closebox) act='close' ;;
    enter-on-box) act='key 1018 RETURN' ;;
    enter-in-field) act='key 1000 RETURN' ;;
  esac
  start_app "$SETUP_EXE"
  drive <<CMDS
wait-dialog "V-批打印软件安装" 60
expect-windows 1
$act
wait-exit 30
CMDS
  wait_app 30 || true
  echo "closed by $way"
done

# 3. The untouched selection view, for the README, centred and whole.
set_dpi 96
start_app "$SETUP_EXE"
out=$( { selection_view; placement 96; } | drive)
grep -q '^picture 0 id=[^ ]* size=64x64$' <<<"$out" || { echo "FAIL: the logo is not the 64-pixel one"; exit 1; }
grep -q '^picture 1 id=[^ ]* size=307x175$' <<<"$out" || { echo "FAIL: the menu picture is not the 100 % one"; exit 1; }
sleep 1
screenshot "$SETUP_ARTEFACTS/selection_view.png"
crop "$SETUP_ARTEFACTS/selection_view.png" 0,0,800,600 "$SETUP_ARTEFACTS/selection_view_desktop.png"
crop "$SETUP_ARTEFACTS/selection_view.png" "$(sed -n 's/^0 rect=//p' <<<"$out")" "$SETUP_ARTEFACTS/selection_view_96dpi.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
click 2
wait-exit 30
CMDS
wait_app 30 || true
# 4. On a Western system (code page 1252) the program's own texts still
#    read as Chinese: they are converted from code page 936 explicitly.
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
start_app "$SETUP_EXE"
cp1252=$( { echo 'codepage'; selection_view; } | drive)
grep -q '^codepage 1252$' <<<"$cp1252" || { echo "FAIL: the Western run is not in code page 1252"; exit 1; }
sleep 1
screenshot "$SETUP_ARTEFACTS/selection_view_cp1252.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
click 2
wait-exit 30
CMDS
wait_app 30 || true

# 5. At 144 dpi (150 %), as most laptops run: the program is aware of the
#    DPI, so the dialog is made at that scale, not stretched; on a laptop's
#    1920 x 1080 desktop it fits whole.
export LANG=$program_lang LC_ALL=$program_lang
set_dpi 144
export E2E_DESKTOP_SIZE=1920x1080
start_app "$SETUP_EXE"
out=$( { selection_view; placement 144; } | drive)
dialog=$(sed -n 's/^0 rect=//p' <<<"$out")
IFS=, read -r dl dt dr db <<<"$dialog"
# 283 dialog units square, at least 1.4 times the 96-dpi size of 425 pixels.
[ $((dr - dl)) -ge 600 ] && [ $((db - dt)) -ge 600 ] || { echo "FAIL: the dialog is not scaled: $dialog"; exit 1; }
grep -q '^picture 0 id=[^ ]* size=96x96$' <<<"$out" || { echo "FAIL: the logo is not the 150 % one"; exit 1; }
grep -q '^picture 1 id=[^ ]* size=461x263$' <<<"$out" || { echo "FAIL: the menu picture is not the 150 % one"; exit 1; }
sleep 1
screenshot "$SETUP_ARTEFACTS/selection_view_144dpi_screen.png"
crop "$SETUP_ARTEFACTS/selection_view_144dpi_screen.png" "$dialog" "$SETUP_ARTEFACTS/selection_view_144dpi.png"
drive <<'CMDS'
wait-dialog "V-批打印软件安装" 10
click 2
wait-exit 30
CMDS
wait_app 30 || true
unset E2E_DESKTOP_SIZE
echo "selection view: all checks passed"
