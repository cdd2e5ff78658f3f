#!/usr/bin/env bash
# The Windows-only sources never build on Linux; compile them with the mingw-w64 cross compiler
# (warnings are errors), link them into one program with the Windows libraries, and compile the
# resource script, so that they cannot rot unnoticed. Files that need Qt for Windows are not
# covered here: they are kept to thin glue over these.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++
rc=x86_64-w64-mingw32-windres
if ! command -v "$cxx" >/dev/null || ! command -v "$rc" >/dev/null; then
    echo "mingw-w64 is not installed (scripts/deps.sh test installs it)" >&2
    exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

sources=(
    serial/serial_port_win32.cpp
    discovery/setupapi_com_ports.cpp
    discovery/device_monitor_win32.cpp
    app/single_instance_win.cpp
    app/restart_support_win.cpp
    app/stop_signals_win.cpp
    ui/win32_window_messages.cpp
    kvuctl/interrupts_win.cpp
    tests/win32/link_check.cpp
)
objects=()
for source in "${sources[@]}"; do
    object=$out/$(basename "${source%.cpp}").o
    "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror -DUNICODE -D_UNICODE -I. -c "$source" \
        -o "$object"
    objects+=("$object")
    echo "compiled $source"
done
"$rc" -I app app/kvu_utility.rc -O coff -o "$out/kvu_utility.res.o"
echo "compiled app/kvu_utility.rc"
"$cxx" -static -o "$out/link_check.exe" "${objects[@]}" "$out/kvu_utility.res.o" \
    -lsetupapi -ladvapi32 -luser32
file "$out/link_check.exe" | grep -q 'PE32+ executable' || {
    echo "link_check.exe is not a Windows executable" >&2
    exit 1
}
echo "linked the Windows sources and resources into a PE32+ executable"
