#!/usr/bin/env bash
# Runs the README's main job with the programs of a build folder in a temporary folder, then imports
# the example statements into a demo database: every file of examples/ must import.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/scripts/main_job.sh" "$build" "$work/main" >/dev/null
grep -q "InitDbConnection new database demo.db: user analyst created as administrator" "$work/main/zorinput.log"
echo "smoke: main job imported catalogue.txt, prices.txt, prices.json, holdings.txt, ptf_assets.json, portfolio.txt, holdings.json and corporate.txt"
# The statements need the demo companies' accounts and presentation format.
cd "$work"
"$build/src/app/zorinput-server" init --demo demo.db >/dev/null
ZORINPUT_PASSWORD=demo "$build/src/app/zorinput-server" useradd demo.db analyst --admin >/dev/null
ZORINPUT_PASSWORD=demo "$build/src/app/zorinput" "/import=$root/examples/statements.txt" /user=analyst \
  /database=demo.db >/dev/null
echo "smoke: statements.txt imported into the demo database"
cp "$root/examples/ptf_assets.json" . && for file in "$root/examples/holdings.txt" ptf_assets.json; do ZORINPUT_PASSWORD=demo "$build/src/app/zorinput" "/import=$file" /user=analyst /database=demo.db >/dev/null; done && echo "smoke: holdings.txt and ptf_assets.json imported into the demo database"
ZORINPUT_PASSWORD=demo "$build/src/app/zorinput" "/import=$root/examples/corporate.txt" /user=analyst /database=demo.db >/dev/null
echo "smoke: corporate.txt imported into the demo database"
