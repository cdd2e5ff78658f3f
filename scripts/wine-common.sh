# Sourced by the scripts that run Windows programs under Wine: where Wine is, a scratch prefix in
# $work that is never the user's, one PASS/FAIL line per check, and the clean-up of what was
# started (the processes in the array pids, Wine's server, $work). Not a program of its own.

# Sets wine and wineserver; false when Wine is not installed.
kvu_find_wine() {
    wine=""
    local candidate
    for candidate in wine64 /usr/lib/wine/wine64 wine; do
        if command -v "$candidate" >/dev/null; then
            wine=$(command -v "$candidate")
            break
        fi
    done
    [ -n "$wine" ] || return 1
    wineserver=$(dirname "$wine")/wineserver
    command -v "$wineserver" >/dev/null || wineserver=wineserver
}

# No display, no Mono or Gecko installer, no debug chatter; the clean-up runs at exit.
kvu_scratch_prefix() {
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY="" WAYLAND_DISPLAY=""
    pids=()
    trap kvu_end_wine_work EXIT
}

kvu_end_wine_work() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}

# The path of a program in the Windows build folder $winbuild; ends the script when it is missing.
find_exe() {
    local found
    found=$(find "$winbuild" -name "$1" -not -path '*/package/*' -not -path '*/CMakeFiles/*' | head -n 1)
    [ -n "$found" ] || { echo "$1 is not in $winbuild: build it first" >&2; exit 1; }
    echo "$found"
}

passed=0
failed=0
check() {  # check NAME DETAIL STATUS
    if [ "$3" -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $1${2:+: $2}"
    else
        failed=$((failed + 1))
        echo "FAIL $1${2:+: $2}"
    fi
}
