#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail

run_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libspdlog-dev libfmt-dev libcli11-dev libudev-dev
    fonts-dejavu-core fonts-droid-fallback)
test_packages=("${run_packages[@]}" ccache libgtest-dev clang libclang-rt-14-dev dpkg-dev file
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix googletest desktop-file-utils wine wine64 nsis
    xvfb xdotool zip unzip)

case "${1:-run}" in
    run) wanted=("${run_packages[@]}") ;;
    test) wanted=("${test_packages[@]}") ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
