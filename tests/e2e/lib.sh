# Helpers for end-to-end scenario scripts. Source it from a script that
# run-under-x.sh runs (which sets up the display and the Wine environment):
#   . "$E2E_DIR/lib.sh"
# Settings, from the environment:
#   E2E_DRIVER      dialog_driver.exe, for drive (required there)
#   E2E_LOG         file that also collects what drive prints (optional)
#   SETUP_DESKTOP=1 start_app runs the program in a Wine desktop window
#                   "setup" of 800x600 (E2E_DESKTOP_SIZE), which draws
#                   captions and frames; drive then attaches the driver to
#                   that desktop.

: "${SETUP_WINE:=/usr/lib/wine/wine64}"

# A step that fails without a word of its own (a command substitution or a
# tool's status under set -e) still names itself: the script, the line,
# the command and its status, and the driver's last lines.
e2e_on_error() {
  local rc=$?
  echo "FAIL: ${0##*/} line $1: $2 (exit status $rc)" >&2
  if [ -n "${E2E_LOG:-}" ] && [ -s "$E2E_LOG" ]; then
    echo "the driver's last lines:" >&2
    tail -n 5 "$E2E_LOG" >&2
  fi
}
# -E: also a step inside a function (whose failure under set -e would
# otherwise end the script without the trap).
set -E
trap 'e2e_on_error "$LINENO" "$BASH_COMMAND"' ERR

# stop_wine: ends every Wine process of the prefix and its server, so that
# the next start gets a server of its own (one a start without a display
# left behind keeps no display for the programs after it).
stop_wine() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  timeout 20 /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}
# e2e_snapshot <scratch.reg> <place>... -- <registry root>...: the machine as
# the uninstall must leave it: every folder and file's checksum below the
# places that exist (relative to the prefix), then each registry tree as
# regedit exports it. Left out: the records folder itself, the elevated
# log the uninstall keeps there, and the sign-in stub folders, which stay
# by design.
e2e_snapshot() {
  local scratch=$1 places=() root
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    [ -e "$WINEPREFIX/$1" ] && places+=("$1")
    shift
  done
  shift
  if [ ${#places[@]} -gt 0 ]; then
    (cd "$WINEPREFIX" && {
      find "${places[@]}" -type d | sed 's/^/folder /'
      find "${places[@]}" -type f -print0 | xargs -0 -r md5sum
    } | grep -v -e 'ProgramData/V-VidudOvev/V-VidudOvev-setup\.log' -e '^folder drive_c/ProgramData/V-VidudOvev$' \
      -e 'ProgramData/V-VidudOvev/PerUser-' |
      LC_ALL=C sort)
  fi
  for root in "$@"; do
    rm -f "$scratch"
    echo "== $root"
    "$SETUP_WINE" regedit /E "$(e2e_winpath "$scratch")" "$root" >/dev/null 2>&1 || true
    if [ -f "$scratch" ]; then
      iconv -f UTF-16LE -t UTF-8 "$scratch" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' | sed 1d
    fi
  done
}

E2E_DESKTOP_NAME=setup
APP_PID=

# A Unix path as Wine's Z: drive sees it; Windows paths pass unchanged.
e2e_winpath() {
  case $1 in
    [A-Za-z]:*) printf '%s\n' "$1" ;;
    *) local p; p=$(realpath -m "$1"); printf 'Z:%s\n' "${p//\//\\}" ;;
  esac
}

# start_app <exe> [args...]: starts the program in the background; its
# wine64 (or explorer) process id is left in APP_PID.
start_app() {
  local exe=$1; shift
  if [ "${SETUP_DESKTOP:-0}" = 1 ]; then
    "$SETUP_WINE" explorer "/desktop=$E2E_DESKTOP_NAME,${E2E_DESKTOP_SIZE:-800x600}" "$(e2e_winpath "$exe")" "$@" &
  else
    "$SETUP_WINE" "$exe" "$@" &
  fi
  APP_PID=$!
}

# wait_app [seconds]: waits for the process start_app began and returns its
# exit status (with SETUP_DESKTOP=1 that of explorer; the driver's
# wait-exit reports the program's own code). 124 on time-out.
wait_app() {
  local limit=${1:-30} waited=0
  [ -n "$APP_PID" ] || { echo "wait_app: no program started" >&2; return 2; }
  while kill -0 "$APP_PID" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "wait_app: still running after $limit s" >&2
      return 124
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  local rc=0
  wait "$APP_PID" || rc=$?
  APP_PID=
  return "$rc"
}

# drive [file|-]: runs dialog_driver.exe on the commands in the file, or on
# standard input (a here-document) without one; prints its output and adds
# it to E2E_LOG. Returns the driver's status: 0 when every command passed.
drive() {
  [ -n "${E2E_DRIVER:-}" ] || { echo "drive: E2E_DRIVER is not set" >&2; return 2; }
  local input=/dev/stdin
  if [ $# -gt 0 ] && [ "$1" != - ]; then input=$1; fi
  local opts=()
  [ "${SETUP_DESKTOP:-0}" = 1 ] && opts=(--desktop "$E2E_DESKTOP_NAME")
  "$SETUP_WINE" "$E2E_DRIVER" "${opts[@]}" <"$input" | tee -a "${E2E_LOG:-/dev/null}"
  return "${PIPESTATUS[0]}"
}

# screenshot <png>: the whole screen.
screenshot() {
  /usr/bin/import -window root "$1"
}

# crop <png> <left,top,right,bottom> <out.png>: the rectangle of a screenshot
# (the desktop starts at 0,0 of the screen), e.g. a window's "rect 0".
crop() {
  local l t r b
  IFS=, read -r l t r b <<<"$2"
  /usr/bin/convert "$1" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$3"
}

# pixel <png> <x> <y>: prints the pixel's colour as R,G,B (0-255).
pixel() {
  /usr/bin/convert "$1[1x1+$2+$3]" -format '%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)],%[fx:int(255*b+0.5)]' info:
  echo
}

# install_machine: the machine of the install scenarios in the prefix, made
# afresh: AutoCAD 2008, 2009, 2010 (both views) and 2020 with their folders
# (acad_folders, below drive C:, $c), an empty D: drive, the registry of
# tests/fixtures/install_machine.reg, no settings folder. Leaves `c`,
# `acad_folders` and `appdata` (the user's AppData\Roaming) set, and also
# clears what earlier runs left: the record folders under ProgramData and the
# Programs and Features entry.
install_machine() {
  c=$WINEPREFIX/drive_c
  acad_folders=("Program Files/AutoCAD 2008" "Program Files/AutoCAD 2009" "Program Files/AutoCAD 2010"
    "Program Files (x86)/AutoCAD 2010" "Program Files/Autodesk/AutoCAD 2020")
  rm -rf "$WINEPREFIX/drive_d" "$c/ProgramData/V-VidudOvev"
  local folder
  for folder in "${acad_folders[@]}"; do
    rm -rf "${c:?}/$folder"
    mkdir -p "$c/$folder/Fonts" "$c/$folder/Drv"
  done
  mkdir -p "$WINEPREFIX/drive_d"
  ln -sfn "$WINEPREFIX/drive_d" "$WINEPREFIX/dosdevices/d:"
  "$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/wine_songti.reg")"
  "$SETUP_WINE" regedit /S "$(e2e_winpath "$SETUP_FIXTURES/install_machine.reg")"
  local key
  for key in 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev' \
    'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev' \
    'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\V-VidudOvev'; do
    "$SETUP_WINE" reg delete "$key" /f >/dev/null 2>&1 || true
  done
  appdata=$(find "$c/users" -maxdepth 3 -type d -path '*/AppData/Roaming' | head -n 1)
  [ -n "$appdata" ] || { echo "FAIL: no AppData\\Roaming folder in the prefix"; exit 1; }
  rm -rf "$appdata/Velkor"
}

# dialog_install <SetUp.exe> <folder>: the typical install a person makes in
# the dialog, in the Wine desktop: type the folder, install, close the
# completion view. Fails unless every step of the driver passed.
dialog_install() {
  SETUP_DESKTOP=1 start_app "$1"
  SETUP_DESKTOP=1 drive <<CMDS || return 1
wait-dialog "V-批打印软件安装" 60
settext 1000 $2
click 1022
expect 1023 visible=1
click 1
wait-exit 30
CMDS
  wait_app 30 || true
}
