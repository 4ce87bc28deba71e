#!/usr/bin/env bash
# A million *QT lines (200 series of 5,000 days, 5 values and 22 "-" each) imported by zorinput,
# check and import, into a fresh embedded database, against sqlite3's .import of the same rows as
# CSV into a table with the same key in WAL mode; then one quote call through the client layer
# against one prepared INSERT. Prints the figures, and the ratio on its last line.
# Builds build/bench (Release with the benchmarks) unless ZORINPUT_BUILD names another build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZORINPUT_BUILD:-build/bench}
if [ -z "${ZORINPUT_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZI_BUILD_TESTS=OFF -DZI_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j2 >/dev/null
fi
zorinput=$PWD/$build/src/app/zorinput
tool=$PWD/$build/src/app/zorinput-server
bench=$PWD/$build/bench/zi_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

series=200
days=5000
seq 0 $((days - 1)) | sed 's/.*/2000-01-03 + & days/' | date -f - +%F >dates.txt
awk -v series=$series 'NR == FNR { d[NR] = $0; n = NR; next } END {
  dash = ""; comma = ""; for (k = 0; k < 22; ++k) { dash = dash " -"; comma = comma "," }
  for (s = 1; s <= series; ++s)
    for (i = 1; i <= n; ++i) {
      v = s + i / 1000
      values = sprintf("%.2f %.2f %.2f %.2f %.2f", v, v - 0.5, v + 0.5, v + 0.1, v + 0.2)
      printf "*QT \"T%03d\" 1 %s %s%s\n", s, d[i], values, dash > "quotes.txt"
      gsub(/ /, ",", values)
      printf "T%03d,1,%s,%s%s\n", s, d[i], values, comma > "quotes.csv"
    }
}' dates.txt /dev/null
bytes=$(stat -c %s quotes.txt)

# A demo-like catalogue: one company and class per series, all on exchange 1.
"$tool" init zi.db >/dev/null
ZORINPUT_PASSWORD=bench "$tool" useradd zi.db bench --admin >/dev/null
sqlite3 zi.db "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $series)
  INSERT INTO empresa (id, cod, pais, nome) SELECT i, printf('E%03d', i), 0, printf('Company %d', i) FROM n;
  INSERT INTO ativo (id, emp, idclass, vote, tipoobj) SELECT id, id, 2, 0, 0 FROM empresa;
  INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) SELECT id, id, printf('T%03d', id), 1, 1, 0 FROM ativo;"

start=$(date +%s.%N)
ZORINPUT_PASSWORD=bench /usr/bin/time -f "%M %U %S" -o rss.txt "$zorinput" /import=quotes.txt /user=bench /database=zi.db \
  >/dev/null 2>&1 || { tail -n 5 zorinput.log; exit 1; }
import_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
stored=$(sqlite3 zi.db "SELECT count(*) FROM Cotacao")
rss_kib=$(awk '{ print $1 }' rss.txt)
import_cpu_s=$(awk '{ print $2 + $3 }' rss.txt)

columns=""
for v in $(seq 1 27); do columns="$columns, v$v REAL"; done
sqlite3 bulk.db "PRAGMA journal_mode=WAL; CREATE TABLE q (ticker TEXT, bolsa INTEGER, date TEXT$columns,
  PRIMARY KEY (ticker, bolsa, date)) WITHOUT ROWID;" >/dev/null
start=$(date +%s.%N)
/usr/bin/time -f "%U %S" -o bulk_cpu.txt sqlite3 bulk.db -cmd "PRAGMA journal_mode=WAL;" ".mode csv" ".import quotes.csv q" >/dev/null
bulk_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
bulk_cpu_s=$(awk '{ print $1 + $2 }' bulk_cpu.txt)

"$bench" --benchmark_filter='QuoteImportCall|PreparedQuoteInsert' \
  --benchmark_format=csv 2>/dev/null >calls.csv || true
call_ns=$(awk -F, '/BM_QuoteImportCall/ { print $3 }' calls.csv)
insert_ns=$(awk -F, '/BM_PreparedQuoteInsert/ { print $3 }' calls.csv)
# On a machine shared with other work the processor time of a call says more than its wall time.
call_cpu_ns=$(awk -F, '/BM_QuoteImportCall/ { print $4 }' calls.csv)
insert_cpu_ns=$(awk -F, '/BM_PreparedQuoteInsert/ { print $4 }' calls.csv)

limit_kib=$(((bytes * 3 / 2 + 64 * 1024 * 1024) / 1024))
printf 'file: %d lines, %d bytes; rows stored: %d\n' $((series * days)) "$bytes" "$stored"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'zorinput -import (check and import): %.2f s (processor %.2f s), peak memory %d KiB (goal <= %d KiB)\n' \
  "$import_s" "$import_cpu_s" "$rss_kib" "$limit_kib"
printf 'sqlite3 .import of the same rows: %.2f s (processor %.2f s)\n' "$bulk_s" "$bulk_cpu_s"
printf 'one quote call through the client layer: %s ns (processor %s ns); one prepared INSERT: %s ns (processor %s ns)\n' \
  "$call_ns" "$call_cpu_ns" "$insert_ns" "$insert_cpu_ns"
printf 'processor time ratio zorinput / sqlite3: %.2f\n' "$(awk -v a="$import_cpu_s" -v b="$bulk_cpu_s" 'BEGIN { print a / b }')"
printf 'ratio zorinput / sqlite3: %.2f (goal <= 1.0)\n' "$(awk -v a="$import_s" -v b="$bulk_s" 'BEGIN { print a / b }')"
