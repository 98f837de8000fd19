#!/usr/bin/env bash
# make dist: the two release packages, as the download page offers them.
# Each package is a folder V-VidudOvev-<yyyy.mm.dd>-<32|64>bit[-demo] with
# SetUp.exe beside a Data folder holding the add-on's files; each is zipped
# (reproducibly: fixed times, sorted names, no extra fields, UTF-8 names)
# and the zips' digests are written to SHA256SUMS, all in the output folder.
#   dist.sh [--setup32 <exe>] [--setup64 <exe>] [--payload <folder>]
#           [--out <folder>] [--version <yyyymmdd>]
# Without --setup32/--setup64 it builds the shipped editions in Release
# (presets win32 and acad64) and takes build/<preset>/SetUp.exe; the version
# is versionNumber from the build's CMakeCache.txt beside each exe (or
# --version). Environment:
#   PAYLOAD=<folder>      the add-on's files, copied into Data as they are
#                         (--payload wins); without one, the generated demo
#                         package, and the packages are named -demo
#   SIGN_CERT, SIGN_KEY   PEM certificate (chain) and key: each SetUp.exe is
#                         signed with osslsigncode before it is zipped
#   SIGN_TIMESTAMP=<url>  a timestamp server for the signatures
#   SOURCE_DATE_EPOCH     the time stamp of every zipped file (default: the
#                         last commit's time)
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")

die() { echo "dist: $*" >&2; exit 1; }
usage() { sed -n '7,8p' "$0" | sed 's/^# *//' >&2; exit 2; }

# Paths are taken from where the script was started, before it moves to
# the source tree.
setup32= setup64= payload=${PAYLOAD:-} out=$root/dist version=
[ -n "$payload" ] && payload=$(realpath -m "$payload")
[ -n "${SIGN_CERT:-}" ] && SIGN_CERT=$(realpath -m "$SIGN_CERT")
[ -n "${SIGN_KEY:-}" ] && SIGN_KEY=$(realpath -m "$SIGN_KEY")
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --setup32) setup32=$(realpath -m "$2") ;;
    --setup64) setup64=$(realpath -m "$2") ;;
    --payload) payload=$(realpath -m "$2") ;;
    --out) out=$(realpath -m "$2") ;;
    --version) version=$2 ;;
    *) usage ;;
  esac
  shift 2
done
cd "$root"

# cache_value <CMakeCache.txt> <name>
cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1"; }
# pe_machine <exe>: the machine field of the PE header (014c i686, 8664 x86_64).
pe_machine() {
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [[ $at =~ ^[0-9]+$ ]] && od -An -tx2 -j$((at + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# The shipped editions, built here unless given.
if [ -z "$setup32" ] || [ -z "$setup64" ]; then
  for preset in win32 acad64; do
    cmake --preset "$preset" >/dev/null
    nice cmake --build --preset "$preset" --target SetUp -j2
  done
  setup32=${setup32:-$root/build/win32/SetUp.exe}
  setup64=${setup64:-$root/build/acad64/SetUp.exe}
fi

# Each exe: present, a Release build of its edition, and of one version.
for bits in 32 64; do
  var=setup$bits
  exe=${!var}
  [ -f "$exe" ] || die "the ${bits}-bit SetUp.exe is missing: $exe"
  machine=$(pe_machine "$exe" || true)
  [ "$machine" = "$([ "$bits" = 32 ] && echo 014c || echo 8664)" ] ||
    die "$exe is not a ${bits}-bit Windows program (machine ${machine:-unknown})"
  cache=$(dirname "$exe")/CMakeCache.txt
  # A build with the tests makes the shipped program in a sub-build of its
  # own, whose cache says how it was built.
  [ -f "$(dirname "$exe")/shipped/CMakeCache.txt" ] && cache=$(dirname "$exe")/shipped/CMakeCache.txt
  if [ -f "$cache" ]; then
    [ "$(cache_value "$cache" CMAKE_BUILD_TYPE)" = Release ] || die "$exe is not a Release build ($cache)"
    [ "$(cache_value "$cache" editionBits)" = "$bits" ] || die "$exe is not the ${bits}-bit edition ($cache)"
    built=$(cache_value "$cache" versionNumber)
    [ -z "$version" ] && version=$built
    [ "$version" = "$built" ] || die "$exe is version $built, not $version"
  elif [ -z "$version" ]; then
    die "no CMakeCache.txt beside $exe to take the version from: give --version"
  fi
done
[[ $version =~ ^[0-9]{8}$ ]] || die "the version must be yyyymmdd, not $version"
dotted=${version:0:4}.${version:4:2}.${version:6:2}

# The payload: the given folder, or the generated demo package.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
suffix=
if [ -z "$payload" ]; then
  bash tools/make-demo-package.sh "$setup64" "$scratch/demo" >/dev/null
  payload=$scratch/demo/Data
  suffix=-demo
fi
[ -d "$payload" ] || die "the payload folder $payload does not exist"
[ -n "$(ls -A "$payload")" ] || die "the payload folder $payload is empty"

# Signing, when asked for. The signing time is the packages' time stamp,
# so that a signed package is as reproducible as the rest.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}
[[ $epoch =~ ^[0-9]+$ ]] || die "no time stamp: set SOURCE_DATE_EPOCH outside a git checkout"
# The zip format keeps local times from 1980 on, at 2 s.
[ "$epoch" -ge 315532800 ] || die "SOURCE_DATE_EPOCH $epoch is before 1980"
if [ -n "${SIGN_CERT:-}" ] || [ -n "${SIGN_KEY:-}" ]; then
  [ -f "${SIGN_CERT:-}" ] || die "SIGN_CERT (PEM certificate) is not a file: ${SIGN_CERT:-unset}"
  [ -f "${SIGN_KEY:-}" ] || die "SIGN_KEY (PEM key) is not a file: ${SIGN_KEY:-unset}"
  command -v osslsigncode >/dev/null || die "osslsigncode is missing (tools/bootstrap.sh)"
  signing=1
else
  echo "dist: SIGN_CERT and SIGN_KEY not set: the SetUp.exe files are NOT signed"
  signing=0
fi

mkdir -p "$out"
names=()
for bits in 32 64; do
  var=setup$bits
  name=V-VidudOvev-$dotted-${bits}bit$suffix
  names+=("$name")
  package=$out/$name
  rm -rf "$package" "$package.zip"
  mkdir -p "$package/Data"
  cp -RL "$payload/." "$package/Data/"
  if [ "$signing" = 1 ]; then
    ts=()
    [ -n "${SIGN_TIMESTAMP:-}" ] && ts=(-ts "$SIGN_TIMESTAMP")
    osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 -n "V-批打印软件安装（${bits}位）" \
      -time "$epoch" "${ts[@]}" -in "${!var}" -out "$package/SetUp.exe" >/dev/null ||
      die "signing the ${bits}-bit SetUp.exe failed"
    echo "dist: signed $name/SetUp.exe"
  else
    cp "${!var}" "$package/SetUp.exe"
  fi
  # What the zip keeps of each file besides its bytes: the same for all.
  find "$package" -type d -exec chmod 755 {} +
  find "$package" -type f -exec chmod 644 {} +
  find "$package" -exec touch -h -d "@$epoch" {} +
  # Sorted bytewise, only files (-D), no extra fields (-X), names as UTF-8
  # with the flag set, times as UTC.
  (cd "$out" && find "$name" -type f | LC_ALL=C sort |
    TZ=UTC LC_ALL=C.UTF-8 zip -q -X -D -UN=UTF8 -@ "$name.zip") || die "zipping $name failed"
  echo "dist: $name.zip ($(find "$package/Data" -type f | wc -l) files in Data)"
done
(cd "$out" && sha256sum "${names[@]/%/.zip}" >SHA256SUMS)
echo "dist: $out/SHA256SUMS"
