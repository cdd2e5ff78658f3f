#!/usr/bin/env bash
# Runs the Windows serial port and single-instance mutex for real: builds a small Win32 check
# program with the mingw-w64 cross compiler and runs it under Wine, headless, in a scratch Wine
# prefix whose COM9 is the simulator's pseudo-terminal. The program prints its figures and its
# exit status is the verdict.
# Usage: scripts/wine-check.sh [build-dir]   (needs <build-dir>/sim/kvu-sim; default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
sim=$build/sim/kvu-sim
cxx=x86_64-w64-mingw32-g++

. scripts/wine-common.sh
kvu_find_wine || true
if [ -z "$wine" ] || ! command -v "$cxx" >/dev/null; then
    echo "Wine or mingw-w64 is not installed (scripts/deps.sh test installs them)" >&2
    exit 1
fi
if [ ! -x "$sim" ]; then
    echo "$sim is missing: build it first (cmake --build --preset default --target kvu-sim)" >&2
    exit 1
fi

work=$(mktemp -d)
kvu_scratch_prefix

start=$(date +%s)
exe=$work/wine_check.exe
"$cxx" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -DUNICODE -D_UNICODE -I. -static \
    -o "$exe" tests/win32/wine_check.cpp serial/serial_port_win32.cpp app/single_instance_win.cpp
echo "built $(basename "$exe") with $cxx"

version=9.8.7-wine
mcuid=MCU-WINE
ssid=wine-check
# COM9: the device for the exchanges; COM8: one that unplugs after its first reply.
start_sim() {
    local link=$1
    shift
    "$sim" --link "$link" "$@" >"$link.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$link" ] && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.05
    done
    echo "kvu-sim did not start:" >&2
    cat "$link.log" >&2
    exit 1
}
start_sim "$work/com9" --fw-version "$version" --mcuid "$mcuid" --init "w ssid $ssid"
start_sim "$work/com8" --hang-up-after 1

timeout 90 "$wine" wineboot.exe --init >"$work/wineboot.log" 2>&1 || {
    echo "wineboot failed:" >&2
    cat "$work/wineboot.log" >&2
    exit 1
}
ln -sfn "$work/com9" "$WINEPREFIX/dosdevices/com9"
ln -sfn "$work/com8" "$WINEPREFIX/dosdevices/com8"
echo "Wine prefix ready in $(( $(date +%s) - start )) s;" \
    "COM9 is $(readlink -f "$work/com9"), COM8 is $(readlink -f "$work/com8")"

status=0
timeout 60 "$wine" "$exe" --port COM9 --hang-up-port COM8 --version "$version" \
    --mcuid "$mcuid" --ssid "$ssid" || status=$?
echo "Wine check took $(( $(date +%s) - start )) s"
if [ "$status" -ne 0 ]; then
    echo "the Wine check failed (exit status $status)" >&2
    exit 1
fi
