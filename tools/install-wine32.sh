#!/usr/bin/env bash
# Installs wine32:i386 beside the installed wine64 without removing
# anything (tools/bootstrap.sh). Tries the configured sources first, then
# the same without the security suite (whose i386 index may have failed to
# download), pinning each amd64 library that apt would remove to the
# version of its i386 twin.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "bootstrap: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
fi
# An index that fails to download is reported and left out; what is
# missing then shows in the simulation below.
$SUDO apt-get update -qq || echo "bootstrap: some package indexes failed to download; going on with the others"

# The sources without the security suite, for the second try.
nosec=$(mktemp -d)
trap 'rm -rf "$nosec"' EXIT
mkdir -p "$nosec/parts"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  python3 - "$f" "$nosec/parts/$(basename "$f")" <<'PY'
import sys, re
text = open(sys.argv[1]).read()
out = []
for stanza in re.split(r'\n\s*\n', text):
    if re.search(r'^Suites:.*-security', stanza, re.M) or re.search(r'^Enabled:\s*no', stanza, re.M):
        continue
    out.append(stanza.strip())
open(sys.argv[2], 'w').write('\n\n'.join(out) + '\n')
PY
done
grep -hv -- '-security' /etc/apt/sources.list 2>/dev/null | grep -v '^\s*#' > "$nosec/sources.list" || true

try_sources() {   # $@: apt options choosing the sources
  local opts=("$@") pins=() out removed pkg want have i
  for i in 1 2 3 4 5 6 7 8 9 10; do
    out=$(apt-get "${opts[@]}" install -s --no-install-recommends --allow-downgrades wine32:i386 "${pins[@]}" 2>&1) || true
    if ! grep -q '^Inst' <<<"$out" || grep -q '^E:' <<<"$out"; then
      return 1
    fi
    removed=$(sed -n 's/^Remv \([^ ]*\) .*/\1/p' <<<"$out")
    if [ -z "$removed" ]; then
      echo "bootstrap: installing wine32:i386 ${pins[*]}"
      $SUDO apt-get "${opts[@]}" install -y -qq --no-install-recommends --allow-downgrades wine32:i386 "${pins[@]}"
      return 0
    fi
    local pinned=0
    for pkg in $removed; do
      pkg=${pkg%:amd64}
      want=$(apt-cache "${opts[@]}" policy "$pkg:i386" 2>/dev/null | awk '/Candidate:/{print $2}')
      have=$(dpkg-query -W -f='${Version}' "$pkg:amd64" 2>/dev/null || dpkg-query -W -f='${Version}' "$pkg" 2>/dev/null || true)
      if [ -n "$want" ] && [ "$want" != "(none)" ] && [ -n "$have" ] && [ "$want" != "$have" ] \
         && ! printf '%s\n' "${pins[@]}" | grep -q "^$pkg:amd64="; then
        pins+=("$pkg:amd64=$want")
        pinned=1
      fi
    done
    [ "$pinned" = 1 ] || return 1
  done
  return 1
}

if try_sources; then exit 0; fi
echo "bootstrap: wine32:i386 does not fit the configured sources; trying without the security suite"
if try_sources -o Dir::Etc::SourceParts="$nosec/parts" -o Dir::Etc::SourceList="$nosec/sources.list"; then exit 0; fi
echo "bootstrap: wine32:i386 cannot be installed without removing packages (wine64 among them); not installing it" >&2
exit 1
