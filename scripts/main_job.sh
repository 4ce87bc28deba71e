#!/usr/bin/env bash
# The main job: imports the files of examples/ into the embedded database WORK/demo.db (created by
# its first login, whose user becomes its administrator), one after the other, each with a JSON
# summary; prints the last summary and the end of the log. Exit status: 0 when every file imported.
#   scripts/main_job.sh [BUILD [WORK]]     (defaults: build/release, run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
mkdir -p "${2:-$root/run}"
work=$(cd "${2:-$root/run}" && pwd)
cd "$work"
# A JSON import writes each record's log back into its file: it gets a copy.
cp "$root/examples/prices.json" "$root/examples/ptf_assets.json" "$root/examples/holdings.json" .
status=0
for file in "$root/examples/catalogue.txt" "$root/examples/prices.txt" prices.json "$root/examples/holdings.txt" ptf_assets.json "$root/examples/portfolio.txt" holdings.json "$root/examples/corporate.txt"; do
  ZORINPUT_PASSWORD="${ZORINPUT_PASSWORD:-demo}" "$build/src/app/zorinput" "/import=$file" /user=analyst \
    /database=demo.db "/summary=summary.json" >/dev/null || status=$?
  [ "$status" -eq 0 ] || { echo "main job: $file ended with exit status $status"; break; }
done
cat summary.json
tail -n 6 zorinput.log
exit "$status"
