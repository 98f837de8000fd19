#!/usr/bin/env bash
# Installs what the build and the tests need and is not there yet.
# Quick when everything is present: it only asks dpkg and the locale list.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 fonts-wine locales xvfb xauth imagemagick fonts-wqy-zenhei bc python3 openssl
  clang libclang-rt-14-dev
  zip unzip osslsigncode
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The 32-bit edition runs under Wine's 32-bit half (wine32:i386) beside
# wine64: a real WoW64 in a 64-bit prefix. Its i386 libraries must be the
# very versions of their amd64 twins (Multi-Arch: same). When an i386 index
# is missing or older (a failed download of the security suite's index),
# apt would rather remove wine64 than mismatch; so each amd64 library it
# would remove is pinned to the version its i386 twin has, and the install
# goes ahead only when the simulation removes nothing.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  bash "$(dirname "$0")/install-wine32.sh"
fi

# The Wine tests run in code page 936, which needs the zh_CN.UTF-8 locale;
# the screenshot on a Western system (code page 1252) needs en_US.UTF-8.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    echo "bootstrap: generating $loc.UTF-8"
    if ! grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
  fi
done
