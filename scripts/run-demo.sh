#!/usr/bin/env bash
# Starts Quorvel on the demo catalogues with a demo card folder as the robot's
# card, and quorvel-card watch on that folder, so every command the window
# sends is printed here as the robot would take it.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/$build"
card="$bin/demo-card"
mkdir -p "$card/ADDON"
[ -e "$card/ADDON/REMOTE.LOG" ] || : > "$card/ADDON/REMOTE.LOG"
ini="$bin/Quorvel.ini"
if [ ! -e "$ini" ]; then
  printf '[REMOTE]\r\nREMOTE_DIR=%s/\r\nCONNECT_TYPE=1\r\nPROGRAM_FOLDER=%s\r\n[SPEECH]\r\nDICTIONARY=%s\r\nAUTOSTART=0\r\n' \
    "$card" "$root/data/demo/programs" "$root/data/demo/calc/calc.xml" > "$ini"
fi
echo "robot card: $card (commands are printed below)"
"$bin/quorvel-card" watch --dir "$card" &
watcher=$!
trap 'kill $watcher 2>/dev/null || true' EXIT INT TERM HUP
cd "$root/data/demo"
"$bin/Quorvel" "${@:2}"
