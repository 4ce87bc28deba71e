#!/usr/bin/env bash
# A JSON file of 10,000 portfolios of one fund (one per reference date) with 50 securities each,
# imported by zorinput into a fresh embedded database, against sqlite3's .import of the same header
# and item rows as CSV into the same tables of another fresh database. Prints the figures, and the
# ratio on its last line. With PERF=1 the import runs under perf record and the top of its report
# is printed too. Builds build/bench (Release) unless ZORINPUT_BUILD names another build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZORINPUT_BUILD:-build/bench}
if [ -z "${ZORINPUT_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZI_BUILD_TESTS=OFF -DZI_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j2 >/dev/null
fi
zorinput=$PWD/$build/src/app/zorinput
tool=$PWD/$build/src/app/zorinput-server
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

portfolios=${PORTFOLIOS:-10000}
items=50
# Reference dates from 1990-01-02, one day apart; day numbers as the server stores them (days since
# 1899-12-30). The civil date of a day is computed in awk, without a process per date.
awk -v portfolios=$portfolios -v items=$items '
function civil(z,   era, doe, yoe, y, doy, mp, d, m) {
  z += 719468; era = int(z / 146097); doe = z - era * 146097
  yoe = int((doe - int(doe / 1460) + int(doe / 36524) - int(doe / 146096)) / 365)
  y = yoe + era * 400; doy = doe - (365 * yoe + int(yoe / 4) - int(yoe / 100)); mp = int((5 * doy + 2) / 153)
  d = doy - int((153 * mp + 2) / 5) + 1; m = mp < 10 ? mp + 3 : mp - 9
  return sprintf("%04d-%02d-%02d", y + (m <= 2), m, d)
}
BEGIN {
  first = 32874
  printf "[" > "portfolios.json"
  for (p = 1; p <= portfolios; ++p) {
    day = first + p
    date = civil(day - 25569)
    printf "%s\n{\"type\":\"portfolio\",\"action\":\"insertorupdate\",\"companyid\":\"FUNDO\",\"country\":0,", (p > 1 ? "," : "") > "portfolios.json"
    printf "\"dtref\":\"%s\",\"tpdoc\":1,\"pl\":%d,\"tvm\":[", date, p * 1000 > "portfolios.json"
    printf "%d,1,%d,,,1,%d,%d,\n", p, day, day, p * 1000 > "headers.csv"
    for (i = 1; i <= items; ++i) {
      printf "%s{\"itemid\":\"%d\",\"idptfassettvm\":%d,\"tpaplic\":1,\"vlr\":%d.25,\"peso\":%d.5,\"qtdtit\":%d}", (i > 1 ? "," : ""), i, i, i * 10, i, i * 3 > "portfolios.json"
      printf "%d,%d,1,,%d.25,%d.5,%d\n", p, i, i * 10, i, i * 3 > "items.csv"
    }
    printf "]}" > "portfolios.json"
  }
  printf "]\n" > "portfolios.json"
}'
bytes=$(stat -c %s portfolios.json)

for db in zi.db bulk.db; do
  "$tool" init $db >/dev/null
  sqlite3 $db "INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'FUNDO', 0, 'Fundo')"
done
ZORINPUT_PASSWORD=bench "$tool" useradd zi.db bench --admin >/dev/null

run=("$zorinput" /import=portfolios.json /user=bench /database=zi.db)
start=$(date +%s.%N)
if [ "${PERF:-0}" = 1 ]; then
  ZORINPUT_PASSWORD=bench perf record -q -g -o perf.data "${run[@]}" >/dev/null 2>&1 || { tail -n 5 zorinput.log; exit 1; }
else
  ZORINPUT_PASSWORD=bench /usr/bin/time -f "%U %S" -o cpu.txt "${run[@]}" >/dev/null 2>&1 || { tail -n 5 zorinput.log; exit 1; }
fi
import_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
stored=$(sqlite3 zi.db "SELECT count(*) FROM Portfolio")" portfolios, "$(sqlite3 zi.db "SELECT count(*) FROM PortfolioItemTvm")" items"

start=$(date +%s.%N)
/usr/bin/time -f "%U %S" -o bulk_cpu.txt sqlite3 bulk.db -cmd "PRAGMA journal_mode=WAL;" ".mode csv" \
  ".import headers.csv Portfolio" ".import items.csv PortfolioItemTvm" >/dev/null
bulk_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

printf 'file: %d portfolios of %d items, %d bytes; stored: %s\n' $portfolios $items "$bytes" "$stored"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
# On a machine shared with other work the processor time says more than the wall time.
[ -f cpu.txt ] && printf 'zorinput processor time: %.2f s\n' "$(awk '{ print $1 + $2 }' cpu.txt)"
printf 'zorinput -import of the JSON file: %.2f s\n' "$import_s"
printf 'sqlite3 .import of the same rows: %.2f s (processor %.2f s)\n' "$bulk_s" "$(awk '{ print $1 + $2 }' bulk_cpu.txt)"
if [ "${PERF:-0}" = 1 ]; then
  perf report -i perf.data --children --stdio -g none --percent-limit 4 2>/dev/null | grep -E '^ +[0-9]' | grep -v '\[k\]' | cut -c1-160 | head -40
fi
printf 'ratio zorinput / sqlite3: %.2f\n' "$(awk -v a="$import_s" -v b="$bulk_s" 'BEGIN { print a / b }')"
