#!/usr/bin/env bash
# Runs quorvel-cli on a fixed set of inputs and prints one transcript of what
# it printed, its exit codes and the files it wrote. The Linux and the Windows
# programs must print the same transcript, byte for byte.
# With --expect FILE, compares the transcript with FILE instead and fails on
# any difference.
# usage: transcript.sh [--expect FILE] DEMO_DIR CLI CARD [RUNNER...]
#   e.g. transcript.sh data/demo build/quorvel-cli build/quorvel-card
#        transcript.sh data/demo build-windows/quorvel-cli.exe build-windows/quorvel-card.exe wine
set -uo pipefail
expect=
if [ "${1:-}" = --expect ]; then
  expect=$(readlink -f "$2")
  shift 2
fi
demo=$(cd "$1" && pwd)
cli=$(readlink -f "$2")
card=$(readlink -f "$3")
shift 3
runner=("$@")
if [ -n "$expect" ]; then
  # What the program said on stderr stays out of the transcript, but is shown
  # when the transcript differs, to tell a fault from a slow start.
  TRANSCRIPT_STDERR=$(mktemp)
  export TRANSCRIPT_STDERR
  trap 'rm -f "$TRANSCRIPT_STDERR"' EXIT
  if diff -u "$expect" <("$0" "$demo" "$cli" "$card" "${runner[@]}"); then
    echo "the same transcript"
  else
    echo "--- stderr of each command:" >&2
    cat "$TRANSCRIPT_STDERR" >&2
    exit 1
  fi
  exit
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo"/. "$work"/
cd "$work"
mkdir -p card/ADDON
: > card/ADDON/REMOTE.LOG
printf '[REMOTE]\r\nCONNECT_TYPE=1\r\nREMOTE_DIR=card\\\r\n' > local.ini

run() {
  local shown="$*"
  [ -n "${port:-}" ] && shown=${shown//$port/PORT}  # the card's port differs from run to run
  printf '$ %s\n' "$shown"
  [ -n "${TRANSCRIPT_STDERR:-}" ] && printf '$ %s\n' "$shown" >> "$TRANSCRIPT_STDERR"
  "${runner[@]}" "$cli" "$@" 2>>"${TRANSCRIPT_STDERR:-/dev/null}"
  printf '[exit %d]\n' $?
}
show() {  # a file the program wrote, as hex
  printf '= %s\n' "$1"
  od -An -tx1 -v "$1" | tr -s ' \n' ' ' | fold -w 96
  printf '\n'
}

helped() {  # every verb has --help, which exits 0
  printf '$ %s --help\n' "$*"
  "${runner[@]}" "$cli" "$@" --help 2>/dev/null | grep -q Usage && printf 'usage shown\n'
  printf '[exit %d]\n' "${PIPESTATUS[0]}"
}

for v in "" catalogue parse record "record voice" decode send register; do helped $v; done
# Usage errors exit 2.
run; run frobnicate; run record; run record voice; run catalogue --dataset 9 x.xml
run send --card host:0 5; run send --card host:x 5

for f in Ninshiki.xml English.xml voice.xml ura_voice.xml Program.xml calc/*.xml; do run catalogue "$f"; done
printf '<P valstr="105,4,2">/テモ/みていぎ;</P>\r\n<P valstr="-1">/UNDEFINE/x;</P>\r\n' | iconv -t SHIFT_JIS > c.xml
run catalogue c.xml
run catalogue --capacity 1 c.xml  # more entries than it may hold
run catalogue missing.xml
run catalogue --dataset 0 card  # a folder is no file
run catalogue --dataset 4 missing.xml  # no program list: an empty one
for t in "3+4" "3たす4" "１２かける３" "9わる0" "-5ひく2" "はち わる 2" "hello" ""; do run parse "$t"; done
run record voice 5
run record voice 904 --duration 0 --volume 0
run record voice 123 --duration 3 --dataset 2
run record voice 123 --duration 3 --volume 100 --dataset 3 --interval 500
run record arithmetic "12かける3"
run record arithmetic "12×300"
run record arithmetic hello
run record run
printf '\xfe\xff\x05\x00\x03\x00\x32\x00\x00\x00\xe8\x03\x00\x00\x00\x00' > one.log
printf '\xfe\xff\x8f\x03\x01\x00\x03\x00\x04\x00\x00\x00\x00\x00\x00\x00' > two.log
printf 'short' > bad.log
for f in one.log two.log bad.log none.log; do run decode "$f"; done
run send --ini local.ini "3+4"
show card/ADDON/REMOTE.LOG
run send --ini local.ini "5"
show card/ADDON/REMOTE.LOG
# A card folder that is not there, and sending switched off: nothing is
# sent, and the message names the key to set.
printf '[REMOTE]\r\nREMOTE_DIR=nowhere\\\r\n' > none.ini
printf '[REMOTE]\r\nCONNECT_TYPE=0\r\n' > off.ini
run send --ini none.ini 7
"${runner[@]}" "$cli" send --ini none.ini 7 2>&1 >/dev/null | grep -o 'REMOTE/REMOTE_DIR'
run send --ini off.ini 7
show card/ADDON/REMOTE.LOG
run register --ini local.ini --dataset 0 "こんにちは" "こんちわ"
show Ninshiki.xml
run register --ini local.ini --dataset 0 "ないもの" "なし"

# FlashAir: what the card receives, and what it stores.
mkdir -p flash/ADDON
printf '[DATA]\r\nPLAYER_TYPE=4\r\n[REMOTE]\r\nCONNECT_TYPE=2\r\nPROGRAM_FOLDER=programs\r\n' > flash.ini
"${runner[@]}" "$card" serve --dir flash --port 0 > card.log 2>/dev/null &
server=$!
for _ in $(seq 100); do grep -q '^port ' card.log 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^port \([0-9]*\).*/\1/p' card.log | head -1)
run send --ini flash.ini --card "127.0.0.1:$port" "3+4"
run send --ini flash.ini --card "127.0.0.1:$port" walk
sleep 0.3
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
printf '= the card heard\n'
grep -v '^port ' card.log | tr -d '\r'
show flash/ADDON/REMOTE.LOG
show flash/ADDON/TEMP.TXA
