#!/bin/sh
# A test floor in miniature: two stations test 20 simulated boards of one
# lot into one PostgreSQL server, then adreport makes the lot report.
#
#   scripts/floor-demo.sh [BUILD] [OUTDIR]
#
# The server is started here, in a temporary directory, on a free port of
# the loopback address, and stopped at the end (as an unprivileged user
# when run as root, since PostgreSQL refuses to run as root). The boards
# are adsim converters on pseudo-terminals with faults of their own: most
# pass, some have missing codes or a wide code and fail; one board is
# tested twice. OUTDIR (default: floor-report) receives the per-board JSON
# and JUnit files and the report as CSV, JSON and HTML.
set -eu
build=$(cd "${1:-build}" && pwd)
out=${2:-floor-report}
mkdir -p "$out"
out=$(cd "$out" && pwd)

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$pgbin" ]; then
    echo "floor-demo: PostgreSQL is not installed (apt-get install postgresql)" >&2
    exit 2
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/adtest-floor-XXXXXX")
chmod 755 "$work"
as_server=
if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$work"
    as_server="runuser -u nobody --"
fi
# A port nothing listens on: none of /proc/net/tcp's local addresses has it.
port=$((20000 + $$ % 20000))
while grep -qi ":$(printf '%04X' "$port") " /proc/net/tcp /proc/net/tcp6 2>/dev/null; do
    port=$((port + 1))
done
cleanup() {
    $as_server "$pgbin/pg_ctl" -D "$work/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

$as_server "$pgbin/initdb" -D "$work/data" -U floor --auth=trust >/dev/null
$as_server "$pgbin/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $work" start >/dev/null
$as_server "$pgbin/createdb" -h 127.0.0.1 -p "$port" -U floor results
db="postgresql://floor@127.0.0.1:$port/results"

cat >"$work/limits.toml" <<'LIMITS'
name = "ADC12 board final test"
revision = "B"
kind = "ramp"

[limits]
max_dnl = 0.6
max_inl = 3.0
max_missing = 0
LIMITS

# One board on one station: a simulated converter with the given faults,
# captured by adcapture into the database.
test_board() { # station serial adsim-options...
    station=$1 serial=$2
    shift 2
    link="$work/tty-$serial-$station"
    "$build/adsim" --pattern ramp --fast --frames 122880 --seed 7 "$@" \
        --link "$link" --wait-reader >/dev/null 2>&1 &
    sim=$!
    tries=0
    while [ ! -e "$link" ] && [ "$tries" -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
    status=0
    "$build/adcapture" --port "$link" --frames 122880 --seconds 120 \
        --limits "$work/limits.toml" --serial "$serial" --lot LOT-2612 --part ADC12-B \
        --operator "floor demo" --station "$station" --db "$db" \
        --json "$out/$serial-$station.json" --junit "$out/$serial-$station.xml" \
        >/dev/null 2>"$out/$serial-$station.log" || status=$?
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    echo "$station $serial exit $status"
}

# Each station tests its boards in turn; the two run side by side.
station() { # name first-board
    name=$1 n=$2
    i=0
    while [ "$i" -lt 10 ]; do
        serial=$(printf 'SN%04d' $((n + i)))
        case $((n + i)) in
        3) test_board "$name" "$serial" --missing 1500 ;;
        7) test_board "$name" "$serial" --dnl-code 2100:0.9 ;;
        12) test_board "$name" "$serial" --missing 300,301 ;;
        16) test_board "$name" "$serial" --dnl-sigma 0.3 ;;
        *) test_board "$name" "$serial" --dnl-sigma 0.02 --dnl-seed $((n + i)) ;;
        esac
        i=$((i + 1))
    done
}
station station-1 1 &
first=$!
station station-2 11 &
second=$!
wait "$first" "$second"
# Board 7 is reworked and tested again on the other station: it passes now.
test_board station-2 SN0007 --dnl-sigma 0.02 --dnl-seed 7

"$build/adreport" --db "$db" --lot LOT-2612 --csv "$out/lot.csv" --json "$out/lot.json" \
    --html "$out/lot.html"
"$build/adreport" --db "$db" --lot LOT-2612
# The same yield straight from the database, by a query of its own: each
# board's last result (by start time, then id) per lot, then per station.
psql -X -q -h 127.0.0.1 -p "$port" -U floor -d results <<'SQL'
WITH last AS (
    SELECT DISTINCT ON (lot, board_serial) lot, board_serial, pass
    FROM test_record ORDER BY lot, board_serial, start_time DESC, id DESC),
at_station AS (
    SELECT DISTINCT ON (lot, station, board_serial) lot, station, pass
    FROM test_record ORDER BY lot, station, board_serial, start_time DESC, id DESC)
SELECT lot, '(lot)' AS station, count(*) AS boards, count(*) FILTER (WHERE pass) AS passed,
       round(100.0 * count(*) FILTER (WHERE pass) / count(*), 1) AS yield_percent
FROM last GROUP BY lot
UNION ALL
SELECT lot, station, count(*), count(*) FILTER (WHERE pass),
       round(100.0 * count(*) FILTER (WHERE pass) / count(*), 1)
FROM at_station GROUP BY lot, station ORDER BY 1, 2;
SELECT board_serial, count(*) AS attempts FROM test_record
GROUP BY board_serial HAVING count(*) > 1;
SQL
echo "floor-demo: the report is in $out/lot.html"
