#!/usr/bin/env bash
# Every include runs down the house or stays in its room: a room includes
# only rooms below it (app > run > peruser > uninstall, ui > install > deploy > engine
# > record > platform; res beside them, for the dialog). Prints each include
# that runs up or across, and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
grep -rn --include='*.h' --include='*.cpp' '^#include "[a-z]*/' app run peruser uninstall ui install deploy engine record platform |
  awk -F: '
    BEGIN {
            rank["platform"] = 0; rank["res"] = 0; rank["record"] = 1; rank["engine"] = 2; rank["deploy"] = 3;
            rank["install"] = 4; rank["ui"] = 5; rank["uninstall"] = 5; rank["peruser"] = 6;
            rank["run"] = 7; rank["app"] = 8 }
    {
      split($1, path, "/"); room = path[1];
      match($0, /#include "[a-z]*\//); target = substr($0, RSTART + 10, RLENGTH - 11);
      if (!(target in rank) || target == room || (target == "res" && room == "ui")) next;
      if (rank[target] >= rank[room]) { print "up or across: " $1 " includes " target "/"; bad = 1 }
    }
    END { if (bad) exit 1; print "rooms: every include runs down" }'
