#!/usr/bin/env bash
# How soon the window is there: starts a copy of Quorvel (with its own INI,
# recognition on at start, a WAV file as the microphone) on the offscreen
# platform a few times, and prints the median time to the window shown and to
# the recogniser's check box coming on, from the program's start.
#   bench/startup_bench.sh [BUILD] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/$build/Quorvel" "$work/"
printf '[SPEECH]\r\nAUTOSTART=1\r\n' > "$work/Quorvel.ini"
cp "$root"/data/demo/*.xml "$work/"
espeak-ng -v ja -w "$work/say.wav" "てすと" >/dev/null 2>&1
shown=() ready=()
for _ in $(seq "$runs"); do
  out=$(cd "$work" && QT_QPA_PLATFORM=offscreen QUORVEL_STARTUP_REPORT=1 ./Quorvel --audio-file "$work/say.wav" 2>/dev/null)
  shown+=("$(awk '/^shown/ {print $2}' <<<"$out")")
  ready+=("$(awk '/^recogniser/ {print $3}' <<<"$out")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "window shown: median $(median "${shown[@]}") ms; recogniser on: median $(median "${ready[@]}") ms ($runs starts)"
