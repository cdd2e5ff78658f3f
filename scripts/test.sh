#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build, the
# AddressSanitizer/UBSan build, the ThreadSanitizer build of the core, the access-rights tests
# as an unprivileged user, the Debian package, the Windows programs (cross-built, their suites,
# the serial port and the mutex, the two programs and the installer under Wine against the
# simulator), and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
# One compiler cache for every checkout on this machine: paths below the checkout are hashed
# relative to it, so a fresh clone elsewhere reuses what an earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}

step() { printf '\n=== %s\n' "$*"; }
start=$(date +%s)

step "folders depend one way"
scripts/layering-check.sh

for preset in default asan tsan; do
    step "build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    step "test: $preset"
    ctest --preset "$preset"
done

step "access-rights tests as an unprivileged user"
scripts/unprivileged-tests.sh build/default

step "Debian package: build and check without installing"
scripts/package-check.sh build/default

step "Windows sources: compile and link with mingw-w64"
scripts/win32-check.sh

# The Windows programs need Qt for Windows (KVU_QT_MINGW); without it the suites' script says so
# and, unless CI=true, the rest still runs.
step "Windows programs: cross build, the suites and the Win32 serial port under Wine"
scripts/windows-tests.sh build/default
if [ -f build/windows-cross/app/KVUUtility.exe ] &&
    [ -f "${KVU_QT_MINGW:-../shared/toolchains/qt-6.4.2-mingw-w64}/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    step "Windows programs under Wine: KVUUtility.exe and kvuctl.exe against the simulator"
    scripts/windows-programs-check.sh build/windows-cross build/default
    step "Windows installer: build, silent install, start, silent uninstall under Wine"
    scripts/windows-installer-check.sh build/windows-cross build/default
fi

if [ -x scripts/fuzz.sh ]; then
    step "fuzz"
    scripts/fuzz.sh
fi

step "all tests passed in $(( $(date +%s) - start )) s"
