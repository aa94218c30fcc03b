#!/bin/sh
# Runs the tool against the simulated converter: adsim sends noisy readings
# around code 2048 through a pseudo-terminal that the tool opens as port 1.
# Extra simulator options come from ADSIM_ARGS, e.g. ADSIM_ARGS="--pattern sine".
# With --check-display it only checks that there is a desktop to show it on.
set -eu
build=${1:-build}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "make demo opens a window, so it needs a desktop session: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    exit 1
fi
[ "$build" = --check-display ] && exit 0

port=$(mktemp -u "${TMPDIR:-/tmp}/adsim-XXXXXX")
# The demo's own signal, option by option unless ADSIM_ARGS names it: adsim
# refuses an option given twice.
signal=
for default in "--pattern noise" "--code 2048" "--sigma 12"; do
    case " ${ADSIM_ARGS:-}" in
    *" ${default%% *}"*) ;;
    *) signal="$signal $default" ;;
    esac
done
# shellcheck disable=SC2086
"$build/adsim" $signal ${ADSIM_ARGS:-} \
    --link "$port" --wait-reader >/dev/null &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT INT TERM

tries=0
while [ ! -e "$port" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 50 ] || ! kill -0 "$simulator" 2>/dev/null; then
        echo "The simulated converter did not start." >&2
        exit 1
    fi
    sleep 0.1
done

echo "Simulated converter on $port. Press START in the window; EXIT ends the demo."
ADTEST_COM1="$port" "$build/adtest"
