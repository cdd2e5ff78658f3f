#!/usr/bin/env bash
# Builds the Windows programs and test suites from Linux (preset windows-cross, mingw-w64 and the
# Qt for Windows in KVU_QT_MINGW) and runs the suites under Wine, headless, in a scratch prefix.
# Then the Windows serial port against kvu-sim on COM names (scripts/wine-check.sh).
# Each suite is judged by its exit status; the closing line counts suites.
# Usage: scripts/windows-tests.sh [linux-build-dir]   (default build/default; needs its sim/kvu-sim)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
linux_build=${1:-build/default}
build=build/windows-cross

qt=${KVU_QT_MINGW:-../shared/toolchains/qt-6.4.2-mingw-w64}
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "Windows build skipped: no Qt for Windows at $qt (set KVU_QT_MINGW to a Qt 6 for" \
         "mingw-w64: the one in ../shared/toolchains, or one built by scripts/windows-qt.sh PREFIX)"
    [ "${CI:-}" = true ] && exit 1
    exit 0
fi
KVU_QT_MINGW=$(cd "$qt" && pwd)
export KVU_QT_MINGW

. scripts/wine-common.sh
kvu_find_wine || true
if [ -z "$wine" ]; then
    echo "Wine is not installed (scripts/deps.sh test installs it)" >&2
    exit 1
fi

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$source_dir} CCACHE_NOHASHDIR=true
start=$(date +%s)
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross
echo "Windows cross build took $(( $(date +%s) - start )) s"

work=$(mktemp -d)
kvu_scratch_prefix

# A Linux path as Wine's Z: drive sees it.
winpath() { local p=$1; p=${p//\//\\}; printf 'Z:%s' "$p"; }
gcc_dlls=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
pthread_dlls=/usr/x86_64-w64-mingw32/lib
export WINEPATH="$(winpath "$KVU_QT_MINGW/bin");$(winpath "$gcc_dlls");$(winpath "$pthread_dlls")"
# Qt finds its plugins beside its DLLs (the toolkit's plugins folder).
export KVU_SOURCE_DIR=$(winpath "$source_dir")

timeout 120 "$wine" wineboot.exe --init >"$work/wineboot.log" 2>&1 || {
    echo "wineboot failed:" >&2
    cat "$work/wineboot.log" >&2
    exit 1
}
# Wine hands no QT_* variable of the Unix environment to a Windows program; the prefix's user
# environment does reach it, and the programs the tests start.
"$wine" reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1

passed=0 failed=0 skipped=0
tests_run=0 tests_failed=0 tests_skipped=0
# The attribute of the XML report's root element.
report_count() {
    grep -o '<testsuites [^>]*>' "$1" | head -n 1 | grep -o " $2=\"[0-9]*\"" | grep -o '[0-9]*' \
        || echo 0
}

# run_suite FOLDER/SUITE [GTEST_FILTER REASON]: a filter leaves out tests that cannot run here.
run_suite() {
    local exe=$build/tests/$1.exe name filter=()
    name=$(basename "$1")
    if [ $# -ge 3 ]; then
        filter=("--gtest_filter=$2")
        echo "$name: left out $2 under Wine: $3"
    fi
    if [ ! -f "$exe" ]; then
        echo "$name: FAILED (not built: $exe)"
        failed=$((failed + 1))
        return
    fi
    local report=$work/$name.xml status=0 t0
    t0=$(date +%s)
    (cd "$work" && timeout 300 "$wine" "$source_dir/$exe" \
        --gtest_output="xml:$(winpath "$report")" "${filter[@]}" >"$work/$name.log" 2>&1) || status=$?
    local n=0 f=0 s=0
    if [ -f "$report" ]; then
        n=$(report_count "$report" tests) f=$(report_count "$report" failures)
        s=$(grep -c 'result="skipped"' "$report" || true)
        f=$((f + $(report_count "$report" errors)))
    fi
    tests_run=$((tests_run + n)) tests_failed=$((tests_failed + f))
    tests_skipped=$((tests_skipped + ${s:-0}))
    if [ "$status" -eq 0 ] && [ -f "$report" ] && [ "$n" -gt 0 ]; then
        echo "$name: passed ($n tests, ${s:-0} skipped, $(( $(date +%s) - t0 )) s)"
        passed=$((passed + 1))
    else
        echo "$name: FAILED (exit status $status, $n tests, $f failed)"
        grep -E '^\[  FAILED  \]|Failure$' "$work/$name.log" | head -n 20 || true
        [ -f "$report" ] || tail -n 20 "$work/$name.log"
        failed=$((failed + 1))
    fi
    if [ -f "$report" ]; then
        # Each test skipped on Windows, with its reason.
        sed -n -e 's/.*<testcase name="\([^"]*\)".*result="skipped".*classname="\([^"]*\)".*/    skipped: \2.\1/p' \
            -e 's/.*<skipped message="[^"]*&#x0A;\([^"]*\)".*/      (\1)/p' "$report" \
            | sed "s/&apos;/'/g" || true
    fi
}

not_run() {
    echo "$1: skipped (cannot run under Wine: ${*:2})"
    skipped=$((skipped + 1))
}

for suite in settings/settings_tests protocol/protocol_tests logging/logging_tests \
             presets/presets_tests discovery/discovery_tests app/app_tests; do
    run_suite "$suite"
done
run_suite ui/ui_tests "-AboutDialog.HasItsResourceSizeInDialogUnits" \
    "Wine has no Segoe UI, and the About text is wider in its stand-in font than in the one the box was laid out for"

not_run serial_tests "its peer is a pseudo-terminal opened in the test (the Win32 port runs" \
    "against kvu-sim on COM9/COM8 below)"
not_run device_tests "runs the simulated device in-process on a pseudo-terminal (POSIX only)"
not_run window_device_tests "the window against an in-process simulator on a pseudo-terminal"
not_run window_operations_tests "the window against an in-process simulator on a pseudo-terminal"
not_run window_presets_tests "the window against an in-process simulator on a pseudo-terminal"
not_run window_arrival_tests "the window against an in-process simulator on a pseudo-terminal"
not_run sim_tests "kvu-sim itself is POSIX only (pseudo-terminals, sysfs look-alike)"
not_run kvuctl_tests "starts kvu-sim children on pseudo-terminals and signals kvuctl (POSIX)"
not_run kvuctl_reply_tests "starts kvu-sim children on pseudo-terminals (POSIX)"
not_run app_program_tests "reads the POSIX lock file's holder; the Windows mutex is checked by" \
    "app_tests and wine-check"
not_run app_stop_tests "stops the program with POSIX signals, against an in-process simulator"
not_run app_arrival_tests "watches a --port folder that kvu-sim replaces with pseudo-terminals"

# The Win32 serial port and mutex against kvu-sim on pseudo-terminals mapped to COM9 and COM8.
if scripts/wine-check.sh "$linux_build" >"$work/wine-check.log" 2>&1; then
    echo "wine-check (Win32 port on COM9/COM8 against kvu-sim): passed" \
         "($(grep -Eo '[0-9]+ passed, [0-9]+ failed' "$work/wine-check.log" | tail -n 1) checks)"
    passed=$((passed + 1))
else
    echo "wine-check (Win32 port on COM9/COM8 against kvu-sim): FAILED"
    tail -n 20 "$work/wine-check.log"
    failed=$((failed + 1))
fi

echo "tests in the suites under Wine: $tests_run run, $tests_failed failed, $tests_skipped skipped"
echo "Windows part took $(( $(date +%s) - start )) s; the counts below are suites"
if [ "$skipped" -gt 0 ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
else
    echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
