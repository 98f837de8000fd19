#!/usr/bin/env bash
# Whether this machine runs 32-bit Windows programs under Wine: the kernel
# must execute 32-bit code (a kernel booted with ia32_emulation=off does
# not) and Wine's 32-bit half must be installed. Exit 0 when it does;
# otherwise 1, with one line that says why.
if [ ! -x /usr/lib/wine/wine ]; then
  echo "runs-32bit: Wine's 32-bit loader (wine32:i386) is not installed" >&2
  exit 1
fi
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "runs-32bit: this kernel runs no 32-bit code (32-bit emulation is off: ia32_emulation)" >&2
  exit 1
fi
exit 0
