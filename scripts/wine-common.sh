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

# The programs beside the Qt DLLs and plugins and the mingw runtime they load, as a user gets
# them: kvu_stage_programs DIR (needs gui_exe, ctl_exe and qt, the Qt for Windows folder).
kvu_stage_programs() {
    local dir=$1 gcc_dlls=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
    mkdir -p "$dir/platforms" "$dir/styles"
    cp "$gui_exe" "$ctl_exe" "$dir/"
    cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$dir/"
    cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$dir/platforms/"
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dir/styles/"
    cp "$gcc_dlls/libstdc++-6.dll" "$gcc_dlls/libgcc_s_seh-1.dll" \
        /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$dir/"
    # The runtime DLLs carry their debug sections; a user needs none of them.
    x86_64-w64-mingw32-strip --strip-unneeded "$dir"/lib*.dll
}

# A virtual X display of its own, ended with the rest; its name (":N") goes into xvfb_display.
# Not in a command substitution: the server's pid must reach the clean-up.
kvu_start_xvfb() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    exec 3>&-
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; return 1; }
    xvfb_display=":$(head -n 1 "$work/display")"
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
