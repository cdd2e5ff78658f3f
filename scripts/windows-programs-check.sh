#!/usr/bin/env bash
# Runs the two real Windows programs under Wine against kvu-sim on COM9 and checks them as a
# user would see them: KVUUtility.exe on a virtual X display, driven with the keyboard through
# xdotool, must connect, and its Write, Reload and Erase must put on the wire exactly what the
# Linux window puts there for the same keys; a second start is refused; the log is written.
# kvuctl.exe must list, show, write with read-back and diff. One line per check, then
# "N passed, M failed"; the exit status is 0 only if all passed.
# Usage: scripts/windows-programs-check.sh <windows-build-dir> <linux-build-dir>
#   KVU_QT_MINGW  the Qt for mingw-w64 (default ../shared/toolchains/qt-6.4.2-mingw-w64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ $# -ne 2 ]; then
    echo "usage: $0 <windows-build-dir> <linux-build-dir>" >&2
    exit 2
fi
winbuild=$(realpath "$1")
linuxbuild=$(realpath "$2")
qt=${KVU_QT_MINGW:-$root/../shared/toolchains/qt-6.4.2-mingw-w64}
sim=$linuxbuild/sim/kvu-sim
linux_gui=$linuxbuild/app/kvu-utility
title='^Nalto KVU Utility$'

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh test)" >&2; exit 1; }
done
for f in "$sim" "$linux_gui"; do
    [ -x "$f" ] || { echo "$f is missing: build the Linux programs first" >&2; exit 1; }
done
. scripts/wine-common.sh
kvu_find_wine || { echo "Wine is missing (scripts/deps.sh test)" >&2; exit 1; }
gui_exe=$(find_exe KVUUtility.exe)
ctl_exe=$(find_exe kvuctl.exe)

work=$(mktemp -d)
kvu_scratch_prefix

# The programs beside their DLLs and plugins, as installed.
app=$work/app
kvu_stage_programs "$app"
kvu_start_xvfb
export DISPLAY=$xvfb_display

start=$(date +%s)
timeout 120 "$wine" wineboot.exe --init >"$work/wineboot.log" 2>&1 ||
    { cat "$work/wineboot.log" >&2; echo "wineboot failed" >&2; exit 1; }
echo "Xvfb on $DISPLAY; Wine prefix ready in $(( $(date +%s) - start )) s"

# start_sim NAME: a fresh simulated KVU with a fixed identity, its link $work/NAME, recording
# what it receives in $work/NAME.wire.
start_sim() {
    local name=$1
    rm -f "$work/$name.wire"
    "$sim" --link "$work/$name" --fw-version 9.1.2 --mcuid MCU-W --serial KVW0001 \
        --init "w ssid wine-check" --transcript "$work/$name.wire" >"$work/$name.sim.log" 2>&1 &
    pids+=($!)
    sim_pid=$!
    for _ in $(seq 100); do [ -e "$work/$name" ] && return 0; sleep 0.05; done
    cat "$work/$name.sim.log" >&2
    exit 1
}
stop_sim() {
    kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
}
# wait_connected WIRE PID: the window asked for the identity and the profiles.
wait_connected() {
    for _ in $(seq 300); do
        if grep -qx ver "$1" 2>/dev/null && grep -qx serial "$1" && grep -q '^get' "$1"; then
            return 0
        fi
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
# wait_quiet FILE: until FILE has not grown for a second (an operation's exchange is over).
wait_quiet() {
    local size=-1 now quiet=0
    for _ in $(seq 300); do
        now=$(stat -c %s "$1" 2>/dev/null || echo 0)
        if [ "$now" = "$size" ]; then
            quiet=$((quiet + 1))
            [ "$quiet" -ge 10 ] && return 0
        else
            quiet=0
            size=$now
        fi
        sleep 0.1
    done
}
find_window() {  # find_window PID
    local w
    for _ in $(seq 200); do
        w=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
keys() {  # keys WINDOW KEY...: to the focused window, as typed
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    shift
    xdotool key --delay 60 "$@"
}

# drive NAME PID WIRE DIALOGS: the same keys for both windows. After connecting the focus is
# on WWAN1's Load Preset; two Tabs reach its APN. From the APN, three Shift+Tabs wrap round to
# Write (the last control in the tab order), and Reload and Erase are one Shift+Tab each
# before it. A button is pressed with Space, as by a user.
drive() {
    local name=$1 pid=$2 wire=$3 dialogs=$4 window
    if ! wait_connected "$wire" "$pid"; then
        echo "  $name: did not connect; on the wire: $(tr '\n' ' ' <"$wire" 2>/dev/null)"
        return 1
    fi
    wait_quiet "$wire"
    window=$(find_window "$pid") || { echo "  $name: no window titled Nalto KVU Utility"; return 1; }
    keys "$window" Tab Tab
    xdotool type --delay 60 wine.apn
    keys "$window" shift+Tab shift+Tab shift+Tab space
    wait_quiet "$wire"
    echo "--- write" >>"$wire.marks"; wc -l <"$wire" >>"$wire.marks"
    keys "$window" shift+Tab space
    wait_quiet "$wire"
    echo "--- reload" >>"$wire.marks"; wc -l <"$wire" >>"$wire.marks"
    keys "$window" shift+Tab space
    wait_quiet "$wire"
    echo "--- erase" >>"$wire.marks"; wc -l <"$wire" >>"$wire.marks"
    return 0
}
close_window() {  # close_window PID: Escape, as a user; the status of the program
    local window status=0
    window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && keys "$window" Escape
    for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && { kill "$1" 2>/dev/null; "$wineserver" -k 2>/dev/null || true; }
    wait "$1" || status=$?
    return "$status"
}

# --- the Linux window: what the wire must carry --------------------------------------------
start_sim linux
(cd "$work" && QT_QPA_PLATFORM=xcb KVU_DIALOG_TRANSCRIPT="$work/linux.dialogs" \
    exec timeout 120 "$linux_gui" --port="$work/linux" >"$work/linux.out" 2>&1) &
linux_pid=$!
linux_ok=0
drive "Linux window" "$linux_pid" "$work/linux.wire" "$work/linux.dialogs" || linux_ok=1
close_window "$linux_pid" || true
stop_sim
check "Linux window: reference run (connect, Write, Reload, Erase)" \
    "$(wc -l <"$work/linux.wire" 2>/dev/null || echo 0) lines on the wire, dialogs: $(cut -f2 "$work/linux.dialogs" 2>/dev/null | tr '\n' ';')" \
    "$linux_ok"

# --- KVUUtility.exe under Wine --------------------------------------------------------------
start_sim com9
ln -sfn "$work/com9" "$WINEPREFIX/dosdevices/com9"
run=$work/run
mkdir -p "$run"
(cd "$run" && KVU_DIALOG_TRANSCRIPT="$work/win.dialogs" \
    exec timeout 180 "$wine" "$app/KVUUtility.exe" --port=COM9 >"$work/win.out" 2>&1) &
win_pid=$!
connected=1
wait_connected "$work/com9.wire" "$win_pid" && connected=0
check "KVUUtility.exe --port=COM9 connects (ver, serial, get on the wire)" \
    "on the wire: $(head -c 200 "$work/com9.wire" 2>/dev/null | tr '\n' ' ')" "$connected"

# A second start while the first runs: refused at once, with the window's own message.
second=0
(cd "$run" && KVU_DIALOG_TRANSCRIPT="$work/second.dialogs" \
    timeout 60 "$wine" "$app/KVUUtility.exe" --port=COM9 >"$work/second.out" 2>&1) || second=$?
check "a second KVUUtility.exe is refused while the first runs" \
    "status $second, said: $(cut -f2 "$work/second.dialogs" 2>/dev/null | tr '\n' ' ')" \
    "$([ "$second" -eq 0 ] && grep -qx $'Warning\tApplication already running.' "$work/second.dialogs" 2>/dev/null &&
        kill -0 "$win_pid" 2>/dev/null; echo $?)"

win_ok=0
drive "KVUUtility.exe" "$win_pid" "$work/com9.wire" "$work/win.dialogs" || win_ok=1
status=0
close_window "$win_pid" || status=$?
stop_sim
check "KVUUtility.exe: Write, Reload and Erase driven with the keys, closed with Escape" \
    "exit status $status, dialogs: $(cut -f2 "$work/win.dialogs" 2>/dev/null | tr '\n' ';')" \
    "$([ "$win_ok" -eq 0 ] && [ "$status" -eq 0 ]; echo $?)"

# The Linux run must itself have written, reloaded and erased, or equal wires would prove nothing.
wrote=1
grep -q 'wine\.apn' "$work/linux.wire" 2>/dev/null && wrote=0
check "the reference wire carries the typed APN" "" "$wrote"
for op in write reload erase; do
    linux_at=$(sed -n "/^--- $op$/{n;p}" "$work/linux.wire.marks" 2>/dev/null || true)
    win_at=$(sed -n "/^--- $op$/{n;p}" "$work/com9.wire.marks" 2>/dev/null || true)
    same=1
    if [ -n "$linux_at" ] && [ -n "$win_at" ] &&
        cmp -s <(head -n "$linux_at" "$work/linux.wire") <(head -n "$win_at" "$work/com9.wire"); then
        same=0
    fi
    check "after $op the wire is the Linux window's, byte for byte" \
        "${linux_at:-?} and ${win_at:-?} lines" "$same"
done
same=1
cmp -s "$work/linux.dialogs" "$work/win.dialogs" 2>/dev/null && same=0
check "the dialogs are the Linux window's" "" "$same"
log=$run/Nalto_KVU_Utility_log.txt
check "KVUUtility.exe wrote Nalto_KVU_Utility_log.txt" \
    "$( [ -f "$log" ] && echo "$(wc -l <"$log") lines")" \
    "$(grep -q 'Start\.\.' "$log" 2>/dev/null; echo $?)"
# A figure, not a check: the Write's 24 set lines and its commit, timed from the log.
write_ms=$(awk -F'[][]' '
    function ms(t,  a, h) { split(t, a, " "); split(a[2], h, ":"); return (h[1] * 3600 + h[2] * 60 + h[3]) * 1000 }
    /CKVUUtilityDlg::set_APN_WIFI_info\r?$/ && !begin { begin = ms($2) }
    /Write Successfully/ && begin && !end { end = ms($2) }
    END { if (begin && end) printf "%.0f", end - begin }' "$log" 2>/dev/null || true)
if [ -n "$write_ms" ]; then
    echo "figure: KVUUtility.exe under Wine wrote 25 exchanges in $write_ms ms" \
         "($(awk -v t="$write_ms" 'BEGIN { printf "%.1f", t / 25 }') ms each)"
fi
if [ "$failed" -gt 0 ]; then
    echo "  Linux wire:"; sed 's/^/    /' "$work/linux.wire" 2>/dev/null | head -n 60 || true
    echo "  Wine wire:"; sed 's/^/    /' "$work/com9.wire" 2>/dev/null | head -n 60 || true
    echo "  log:"; sed 's/^/    /' "$log" 2>/dev/null | tail -n 15 || true
fi

# --- kvuctl.exe --port COM9 ------------------------------------------------------------------
start_sim com9
ln -sfn "$work/com9" "$WINEPREFIX/dosdevices/com9"
ctl() {  # ctl OUT ARGS...: kvuctl.exe from the run folder; its status
    local out=$1 status=0
    shift
    (cd "$run" && timeout 60 "$wine" "$app/kvuctl.exe" --port COM9 "$@" >"$out" 2>"$out.err") || status=$?
    tr -d '\r' <"$out" >"$out.txt"
    return "$status"
}
status=0; ctl "$work/list" list || status=$?
check "kvuctl.exe --port COM9 list" "status $status: $(tail -n 1 "$work/list.txt")" \
    "$([ "$status" -eq 0 ] && grep -q '^COM9 .*9\.1\.2 .*MCU-W .*KVW0001' "$work/list.txt"; echo $?)"
status=0; ctl "$work/show" show || status=$?
check "kvuctl.exe --port COM9 show" "status $status, $(wc -l <"$work/show.txt") lines" \
    "$([ "$status" -eq 0 ] && grep -q 'wine-check' "$work/show.txt" && grep -q 'KVW0001' "$work/show.txt"; echo $?)"
printf '[WWAN1]\r\nAPN=ctl.apn\r\nUSERNAME=ctl\r\n[WWAN3]\r\nAPN=third.apn\r\n' >"$run/fleet.all"
status=0; ctl "$work/write" write fleet.all || status=$?
check "kvuctl.exe --port COM9 write (read back)" "status $status: $(head -n 1 "$work/write.txt")" \
    "$([ "$status" -eq 0 ] && grep -q 'written and verified' "$work/write.txt" &&
        grep -q 'ctl\.apn' "$work/com9.wire"; echo $?)"
status=0; ctl "$work/diff-same" diff fleet.all || status=$?
check "kvuctl.exe diff after the write finds no difference" "status $status: $(head -n 1 "$work/diff-same.txt")" \
    "$([ "$status" -eq 0 ]; echo $?)"
printf '[WWAN1]\r\nAPN=other.apn\r\n' >"$run/other.all"
status=0; ctl "$work/diff-other" diff other.all || status=$?
check "kvuctl.exe diff against another file names the field" "status $status: $(tail -n 1 "$work/diff-other.txt")" \
    "$([ "$status" -eq 1 ] && grep -q 'WWAN1 APN' "$work/diff-other.txt"; echo $?)"
check "kvuctl.exe wrote kvuctl_log.txt" "" "$([ -s "$run/kvuctl_log.txt" ]; echo $?)"
if [ "$failed" -gt 0 ]; then
    for f in list show write diff-same diff-other; do
        echo "  kvuctl $f:"; sed 's/^/    /' "$work/$f.txt" "$work/$f.err" 2>/dev/null | head -n 8 || true
    done
fi
stop_sim

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
