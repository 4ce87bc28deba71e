#!/usr/bin/env bash
# Starts the desktop under a virtual X display against a fresh demo database and lets its
# screenshot run walk the road a user takes: the login, the chooser, an import of
# examples/prices.txt, the company picker searching "PETR", the company window of Petrobras with its
# company, class and series forms, the NAICS picker, an indicator's history, the table editor, the
# log window, a dry run of the same file, the share-base window, the news and corporate-action
# windows of the series picked with their dialogs, the price window of PETR4 with its range dialog,
# and Petrobras's statements with the header dialog of a new one and a column's popup. One PNG per
# window goes into the folder given (default: build/screens).
# Usage: scripts/desktop_screens.sh [FOLDER] [BUILD_DIR]
# Exit status: 0 when every step ran; otherwise the log's "screens: gave up at step" line names the
# step that never came.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/screens}")"
build="$(realpath -m "${2:-$root/build/debug}")"
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$out"
rm -f "$out"/*.png
"$build/src/app/zorinput-server" init --demo "$work/demo.db" >/dev/null
# Rows of their own for the windows the pictures show.
sqlite3 "$work/demo.db" <"$root/scripts/screens_seed.sql"

# A display number that no other X server holds.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

cd "$work"
status=0
DISPLAY=":$display" XDG_CONFIG_HOME="$work/config" timeout 120 "$build/src/app/zorinput" -noracote \
  -database="$work/demo.db" -user=demo -password=demo -screens="$out" \
  -screensimport="$root/examples/prices.txt" || status=$?
grep -E "screens|ZorInput (start|end)|erro" "$work/zorinput.log" || true
ls -l "$out"
exit "$status"
