#!/usr/bin/env bash
# Prints the machine of a Windows program: i386 or x86_64 (or unknown).
#   pe-machine.sh prog.exe
offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
case $(od -An -t x2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ') in
  014c) echo i386 ;;
  8664) echo x86_64 ;;
  *) echo unknown ;;
esac
