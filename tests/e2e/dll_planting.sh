#!/usr/bin/env bash
# No DLL planted beside SetUp.exe runs in its process. A download folder
# gets copies of tests/helpers/marker_dll.cpp under the names of system DLLs
# a Windows program like this one may load; each copy that runs leaves
# "<name>.loaded" beside itself. The real SetUp.exe then makes a whole run
# there: the dialog, the folder browser (shell32, ole32 and what they pull
# in), an install into a folder of the test, the completion view, the end.
#
# Wine prefers its own builtin DLLs: by default it runs the builtin even
# for a copy it found in the program's folder, so a planted version.dll
# would never run whatever the program did. The scenario therefore makes
# Wine load those names native first, as Windows does with every file it
# finds on the search path; the controls show that it took:
#  1. plant_probe.exe, beside them, loads each name by bare name: each
#     planted copy must run, else the scenario is blind to that name and
#     fails;
#  2. the probe again, after the same restriction as SetUp.exe's start: no
#     planted copy may run;
#  3. the probe with SetUp.exe's imports, restricting and ending at once:
#     what runs there, Wine loaded before the program's first line, where
#     no program can refuse it. Wine's user32 imports version.dll and loads
#     imm32.dll as it starts (Windows' user32 needs no version.dll, and
#     keeps imm32.dll among its KnownDLLs, never taken from the program's
#     folder). The scenario is blind to these names, and says so;
#  4. SetUp.exe's run: no planted copy may run but those of 3.
#  5. The five static imports of SetUp.exe, in a folder of their own and
#     under Wine's own load order: Windows never takes them from the
#     program's folder (KnownDLLs), and no program can protect itself from
#     them, since the loader resolves them before the program's first line.
#     Wine has no KnownDLLs: loaded native first, a planted msvcrt.dll is
#     taken for the static import of any program (plant_probe.exe dies
#     with "unimplemented function msvcrt.dll._initterm") and a planted
#     kernel32.dll stops every start. So this group only checks that with
#     Wine's builtins none of them runs in SetUp.exe's start and end.
# Any marker of 2, 4 (beyond 3) and 5 fails the scenario, and so does any
# step of SetUp.exe.
# Run by run-under-x.sh. Environment: E2E_DRIVER, SETUP_EXE, MARKER_DLL,
# PLANT_PROBE, PLANT_PROBE_USER32, SETUP_FIXTURES, SETUP_ARTEFACTS,
# SETUP_SOURCE.
set -euo pipefail
. "$E2E_DIR/lib.sh"
art=$SETUP_ARTEFACTS/dll_planting
rm -rf "$art"
mkdir -p "$art"
export E2E_LOG=$art/dll_planting.log
export SETUP_DESKTOP=1
fail() {
  echo "FAIL: $*"
  if [ -n "${dir:-}" ] && [ -d "$dir" ]; then echo "planted DLLs that ran so far: $(markers "$dir")"; fi
  exit 1
}
caption="V-批打印软件安装"

planted=(version.dll uxtheme.dll dwmapi.dll cryptbase.dll comctl32.dll shell32.dll ole32.dll oleaut32.dll
  shlwapi.dll imm32.dll msimg32.dll winmm.dll propsys.dll profapi.dll userenv.dll sspicli.dll cryptsp.dll
  wldp.dll textinputframework.dll coremessaging.dll ntmarta.dll msctf.dll uiautomationcore.dll)
static_imports=(kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll)
native_first=$(printf '%s,' "${planted[@]%.dll}")
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}${native_first%,}=n,b"

# The machine: AutoCAD 2008 and 2010 with their folders, so that the
# install has nothing to report, and no install of an earlier run of the
# scenario in a prefix kept since.
c=$WINEPREFIX/drive_c
rm -rf "${c:?}/ProgramData"/V-VidudOvev*
for key in 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev' \
  'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev'; do
  "$SETUP_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
done
for folder in "Program Files/AutoCAD 2008" "Program Files/AutoCAD 2010" "Program Files (x86)/AutoCAD 2010"; do
  rm -rf "${c:?}/$folder"
  mkdir -p "$c/$folder/Fonts" "$c/$folder/Drv"
done
"$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/install_machine.reg")"

# plant <folder> <dll>...: a package (SetUp.exe beside Data) with the probe
# and a marker DLL under each name.
plant() {
  local dir=$1; shift
  bash "$SETUP_SOURCE/tools/make-demo-package.sh" "$SETUP_EXE" "$dir" >/dev/null
  cp "$PLANT_PROBE" "$dir/plant_probe.exe"
  cp "$PLANT_PROBE_USER32" "$dir/plant_probe_user32.exe"
  local name
  for name in "$@"; do cp "$MARKER_DLL" "$dir/$name"; done
}
clear_markers() { rm -f "$1"/*.loaded; }
# loaded <folder> <dll>: the copy ran in some process.
loaded() { [ -e "$1/$2.loaded" ]; }
markers() { (cd "$1" && find . -maxdepth 1 -name '*.loaded' -printf '%f\n' | sed 's/\.loaded$//' | sort | tr '\n' ' '); }

dir=$art/download
plant "$dir" "${planted[@]}"
cd "$dir"   # the program's folder is also the current folder, as when started from a file window
declare -A bare restricted startup setup

# ---- 1. The control: a program that loads by bare name --------------------------
# One process a name, so that no name is loaded only as another's dependency.
for name in "${planted[@]}"; do
  clear_markers "$dir"
  out=$(timeout 60 "$SETUP_WINE" "$dir/plant_probe.exe" "$name") || fail "plant_probe.exe $name: $out"
  echo "probe: $out" >>"$E2E_LOG"
  if loaded "$dir" "$name"; then bare[$name]=loaded; else bare[$name]="not loaded"; fi
done
unreached=()
for name in "${planted[@]}"; do [ "${bare[$name]}" = loaded ] || unreached+=("$name"); done
if [ ${#unreached[@]} -eq ${#planted[@]} ]; then
  fail "Wine loaded no planted DLL for a program that asks by bare name: the run of SetUp.exe would prove nothing"
fi
[ ${#unreached[@]} -eq 0 ] ||
  fail "Wine did not load the planted ${unreached[*]} for a program that asks by bare name: the run of SetUp.exe proves nothing for them"
echo "control, loading by bare name: all ${#planted[@]} planted DLLs ran"

# ---- 2. The control after SetUp.exe's restriction ---------------------------------
clear_markers "$dir"
timeout 60 "$SETUP_WINE" "$dir/plant_probe.exe" restricted "${planted[@]}" >"$art/restricted_probe.txt" ||
  fail "plant_probe.exe restricted: $(cat "$art/restricted_probe.txt")"
cat "$art/restricted_probe.txt" >>"$E2E_LOG"
for name in "${planted[@]}"; do
  if loaded "$dir" "$name"; then restricted[$name]=loaded; else restricted[$name]="not loaded"; fi
done
ran=$(markers "$dir")
[ -z "$ran" ] || fail "after the restriction of SetUp.exe a program still loaded the planted $ran"
echo "control, after the restriction: none ran"

# ---- 3. What Wine loads before a program's first line ----------------------------
clear_markers "$dir"
timeout 60 "$SETUP_WINE" "$dir/plant_probe_user32.exe" restricted >>"$E2E_LOG" ||
  fail "plant_probe_user32.exe restricted"
startup_ran=$(markers "$dir")
for name in "${planted[@]}"; do
  if loaded "$dir" "$name"; then startup[$name]=loaded; else startup[$name]="not loaded"; fi
done
echo "a program with SetUp.exe's imports, before its first line: ${startup_ran:-none} ran"

# ---- 4. SetUp.exe: browse, install, end ----------------------------------------
clear_markers "$dir"
target=$art/target
mkdir -p "$target"
start_app "$dir/SetUp.exe"
drive <<CMDS || fail "SetUp.exe: the selection view and the folder browser"
wait-dialog "$caption" 60
click 1015
wait-box 选择文件夹 20
answer 2
expect 1000 visible=1
expect 1022 visible=1 enabled=1
settext 1000 "$(e2e_winpath "$target")"
click 1022
CMDS
# The completion view; a box the install may raise is answered, and the
# install pressed again.
for attempt in 1 2 3; do
  drive <<CMDS >/dev/null && break
wait-dialog "$caption" 10
expect 1023 visible=1
CMDS
  [ "$attempt" -lt 3 ] || fail "SetUp.exe: no completion view after the install"
  drive <<CMDS || fail "SetUp.exe: neither the completion view nor a box after the install"
wait-dialog "$caption" 10
wait-box V-软件安装 10
controls box
answer 1
CMDS
  drive <<CMDS >/dev/null || true
wait-dialog "$caption" 10
expect 1022 visible=1 enabled=1
click 1022
CMDS
done
drive <<CMDS || fail "SetUp.exe: the end from the completion view"
wait-dialog "$caption" 10
click 1
wait-exit 30
CMDS
wait_app 30 || true
copied=$(find "$target" -type f | wc -l)
[ "$copied" -gt 0 ] || fail "SetUp.exe installed nothing into $target"
echo "SetUp.exe: browsed, installed $copied files, ended"
for name in "${planted[@]}"; do
  if loaded "$dir" "$name"; then setup[$name]=loaded; else setup[$name]="not loaded"; fi
done
# What ran in the control of 3 is Wine's start, not SetUp.exe's doing.
setup_ran= blind=
for name in "${planted[@]}"; do
  if [ "${startup[$name]}" = loaded ]; then
    blind+="$name "
  elif [ "${setup[$name]}" = loaded ]; then
    setup_ran+="$name "
  fi
done

# ---- 5. The static imports, under Wine's own load order -------------------------
cd "$art"
static_dir=$art/static_imports
plant "$static_dir" "${static_imports[@]}"
cd "$static_dir"
clear_markers "$static_dir"
start_app "$static_dir/SetUp.exe"
drive <<CMDS || fail "SetUp.exe beside planted static imports: start and cancel"
wait-dialog "$caption" 60
click 2
wait-exit 30
CMDS
wait_app 30 || true
static_ran=$(markers "$static_dir")
cd "$art"

# ---- The table -----------------------------------------------------------------------
row() { printf '%-24s %-12s %-12s %-12s %-12s\n' "$@"; }
{
  echo "Which planted DLL ran: 1. a program loading by bare name, 2. the same after SetUp.exe's restriction,"
  echo "3. a program with SetUp.exe's imports before its first line, 4. SetUp.exe's run."
  row DLL "1. bare name" "2. restricted" "3. start" "4. SetUp.exe"
  for name in "${planted[@]}"; do
    row "$name" "${bare[$name]}" "${restricted[$name]}" "${startup[$name]}" "${setup[$name]}"
  done
  echo "5. static imports, Wine's builtins first (Windows: KnownDLLs; see the header of dll_planting.sh):"
  for name in "${static_imports[@]}"; do
    if loaded "$static_dir" "$name"; then state=loaded; else state="not loaded"; fi
    row "$name" - - - "$state"
  done
} | tee "$art/table.txt"
[ -z "$blind" ] ||
  echo "blind to ${blind}: Wine loads them at the start of every program with SetUp.exe's imports, before its first line"

[ -z "$setup_ran" ] || fail "SetUp.exe loaded the planted $setup_ran"
[ -z "$static_ran" ] || fail "SetUp.exe's start ran the planted static imports $static_ran"
blind_count=$(wc -w <<<"$blind")
echo "dll planting: no planted DLL ran in SetUp.exe ($((${#planted[@]} - blind_count)) names seen, $blind_count blind; ${#static_imports[@]} static imports)"
