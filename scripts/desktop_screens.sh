#!/usr/bin/env bash
# Starts the desktop under a virtual X display against a fresh demo database and lets its
# screenshot run walk the road a user takes: the login, the chooser, an import of
# examples/prices.txt, the company picker searching "PETR", the company window of Petrobras with its
# company, class and series forms, the NAICS picker, an indicator's history, the table editor, the
# log window and Petrobras's statements with the header dialog of a new one and a column's popup. One PNG per window goes into the folder given (default: build/screens).
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
# Three years of Petrobras's number of employees (indicator 63), so that its history shows rows; dates
# are days since 1899-12-30, as the database keeps them.
sqlite3 "$work/demo.db" "INSERT INTO IndicadoresDaEmp (emp, indica, DataIniVigencia, valornum)
  SELECT id, 63, julianday(d) - julianday('1899-12-30'), n FROM empresa,
  (SELECT '2021-12-31' AS d, 45532 AS n UNION ALL SELECT '2022-12-31', 45149 UNION ALL SELECT '2023-12-31', 46730)
  WHERE cod = 'PETR'"
# Three more statements of Petrobras beside the demo's 2023 one, so that its statement window shows
# columns side by side; the 2022 one's current assets were mistyped, and its check fails.
sqlite3 "$work/demo.db" "
  CREATE TEMP TABLE more (d TEXT, c INTEGER, v TEXT);
  INSERT INTO more VALUES ('2021-12-31', 1, '850,350,500,850,550,300,420,260,160'),
    ('2022-12-31', 1, '900,350,600,900,600,300,450,280,170'), ('2023-12-31', 0, '800,300,500,800,500,300,400,250,150');
  INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, moeda, datamoeda,
    datadivulgacao, DataUltAlteracao)
    SELECT b.empresa, julianday(m.d) - julianday('1899-12-30'), m.c, 0, 0, 12, b.moeda,
      julianday(m.d) - julianday('1899-12-30'), b.datadivulgacao, b.DataUltAlteracao
    FROM Balanco b JOIN empresa e ON e.id = b.empresa, more m WHERE e.cod = 'PETR';
  WITH RECURSIVE split (d, c, n, rest, value) AS (
    SELECT d, c, 0, v || ',', NULL FROM more
    UNION ALL SELECT d, c, n + 1, substr(rest, instr(rest, ',') + 1), CAST(substr(rest, 1, instr(rest, ',') - 1) AS REAL)
    FROM split WHERE rest <> '')
  INSERT INTO BalancoUmaConta (balanco, conta, De3Meses, valor)
    SELECT b.id, s.n, 0, s.value FROM split s JOIN Balanco b ON b.consolidado = s.c
      AND b.dataref = julianday(s.d) - julianday('1899-12-30') JOIN empresa e ON e.id = b.empresa AND e.cod = 'PETR'
    WHERE s.n > 0"

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
