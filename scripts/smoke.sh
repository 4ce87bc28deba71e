#!/usr/bin/env bash
# Runs the README's main job with the programs of a build folder in a temporary folder and checks
# that it logged in to a fresh embedded database.
set -euo pipefail
build=$(cd "$1" && pwd)
examples=$(cd "$(dirname "$0")/../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
ZORINPUT_PASSWORD=demo "$build/src/app/zorinput" "/import=$examples/prices.txt" /user=analyst /database=demo.db \
  || status=$?
grep -q "InitDbConnection new database demo.db: user analyst created as administrator" zorinput.log
grep -q -- "- ZorInput end" zorinput.log
echo "smoke: main job ran with exit status $status"
