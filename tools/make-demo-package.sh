#!/usr/bin/env bash
# Lays out a package as it ships: SetUp.exe beside a Data folder holding the
# add-on's files (stand-ins with a line of text each, under their real
# names): the ARX module of each release family, the managed DLLs, the PDF
# library, the two SHX fonts, the plotter driver and the settings file.
#   make-demo-package.sh <SetUp.exe> <folder>
set -euo pipefail
exe=$1 out=$2
rm -rf "$out/Data"
mkdir -p "$out/Data"
cp "$exe" "$out/SetUp.exe"

put() { printf 'demo package file %s\r\n' "$1" >"$out/Data/$1"; }
# One module build serves a family of releases; 2010 also has a 32-bit one.
for year in 2008 2009 2010 2013 2015 2017 2018 2019 2021 2025 2027; do put "VK_VidudOvev$year.ARX"; done
put VK_VidudOvev2010_32.ARX
for year in 2007 2009 2010 2013; do put "ACAD${year}P.dll"; done
put itextsharp.dll
put Velkor_EN.shx
put Velkor_HZ.shx
put Velkor.prt5
printf '[Velkor]\r\nVersion=demo\r\n' >"$out/Data/Velkor.Ini"
echo "package: $(ls "$out/Data" | wc -l) files in $out/Data"
