#!/usr/bin/env bash
# Builds the Windows toolkit the cross build uses: Qt 6.4.2 qtbase (Core, Gui, Widgets, Test) for
# x86-64 mingw-w64 with posix threads, from Debian's own qt6-base source package, installed into
# PREFIX. Debian ships no Qt for mingw, and the host tools (moc, rcc, uic) must be the same
# version as the target libraries, so the source is Debian 12's and the host tools are Debian's.
# About an hour on two cores.
# Usage: scripts/windows-qt.sh [--configure-only] PREFIX [WORKDIR]
#   --configure-only  fetch, mend and configure, then stop (a quick check of this script)
#   WORKDIR           where the source is unpacked and built (default: a new temporary folder)
set -euo pipefail

configure_only=false
if [ "${1:-}" = "--configure-only" ]; then
    configure_only=true
    shift
fi
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 [--configure-only] PREFIX [WORKDIR]" >&2
    exit 2
fi
prefix=$(realpath -m "$1")
work=$(realpath -m "${2:-$(mktemp -d)}")
source_version=6.4.2+dfsg-10

missing=()
for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres \
    cmake ninja perl xz /usr/lib/qt6/libexec/moc; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "missing: ${missing[*]} (scripts/deps.sh test installs them)" >&2
    exit 1
fi

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)

# apt-get source needs a source index; add one for bookworm main only where none is configured,
# so a machine that already has deb-src entries is left as it is.
has_deb_src() {
    apt-get indextargets --format '$(CREATED_BY) $(SITE) $(RELEASE) $(COMPONENT)' 2>/dev/null |
        grep -q '^Sources .* bookworm main$'
}
if ! has_deb_src; then
    list=/etc/apt/sources.list.d/debian-bookworm-src.sources
    echo "adding a deb-src entry for bookworm main in $list"
    "${sudo[@]}" tee "$list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    "${sudo[@]}" apt-get update -qq
    has_deb_src || { echo "apt still has no bookworm source index" >&2; exit 1; }
fi

mkdir -p "$work" "$prefix"
cd "$work"
start=$(date +%s)
# Only the download: unpacking through dpkg-source would apply Debian's Linux patches too.
[ -f qt6-base_6.4.2+dfsg.orig.tar.xz ] || apt-get source --download-only -qq "qt6-base=$source_version"
src=$work/qtbase-everywhere-src-6.4.2
rm -rf "$src"
tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
[ -f "$src/CMakeLists.txt" ] || { echo "the source did not unpack into $src" >&2; exit 1; }
echo "fetched and unpacked qt6-base $source_version in $(( $(date +%s) - start )) s"

# mend FILE SED-EXPRESSION: applies an edit that must change the file, so that a source where
# the text moved stops here instead of failing an hour later.
mend() {
    local file=$1 expr=$2 before
    before=$(sha256sum "$file")
    sed -i "$expr" "$file"
    if [ "$(sha256sum "$file")" = "$before" ]; then
        echo "mend did not apply to $file: $expr" >&2
        exit 1
    fi
}
win=$src/src/plugins/platforms/windows
# Mend 1: the Debian source drops the third-party Wintab header, so tablet input through Wintab
# is compiled out of the Windows platform plugin (WM_POINTER input remains), and the Direct2D
# plugin, built from the same sources, is not built.
mend "$win/CMakeLists.txt" \
    's/^qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent$/qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION FALSE # Wintab header not in the Debian source/'
for f in qwindowscontext.cpp qwindowspointerhandler.cpp qwindowspointerhandler.h; do
    mend "$win/$f" 's/QT_CONFIG(tabletevent)/0 \/* Wintab header not in the Debian source *\//g'
done
mend "$src/src/plugins/platforms/CMakeLists.txt" \
    's/^if(QT_FEATURE_direct2d1_1 AND QT_FEATURE_directwrite)$/if(FALSE) # shares the Windows plugin sources that need Wintab/'
# Mend 2: with OpenGL off, 6.4.2's window code still reaches for the dynamic-GL context.
mend "$win/qwindowswindow.cpp" 's/QT_CONFIG(dynamicgl)/(QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl))/g'
echo "mended the Wintab and dynamic-GL parts of the Windows platform plugin"

toolchain=$work/mingw-w64-x86_64.cmake
cat >"$toolchain" <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# posix threads: std::thread and std::mutex need them
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC

# Only what the two programs and the tests use; every third-party library bundled, since
# Debian has none of them for mingw.
configure_start=$(date +%s)
cmake -G Ninja -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_WITH_PCH=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF
echo "configured in $(( $(date +%s) - configure_start )) s"

# What the configure must have decided for the programs to work; a silent change would only
# show as a missing DLL much later.
cache=$work/build/CMakeCache.txt
for setting in FEATURE_widgets:BOOL=ON FEATURE_testlib:BOOL=ON FEATURE_opengl:BOOL=OFF \
    FEATURE_thread:BOOL=ON; do
    grep -qx "$setting" "$cache" || { echo "configure did not settle $setting" >&2; exit 1; }
done
for plugin in qwindows qoffscreen qwindowsvistastyle; do
    grep -q "plugins/[a-z]*/$plugin\.dll" "$work/build/build.ninja" ||
        { echo "the build has no $plugin plugin" >&2; exit 1; }
done
echo "configure check passed: widgets, testlib, threads on; OpenGL off; qwindows, qoffscreen and" \
    "qwindowsvistastyle plugins in the build"
if $configure_only; then
    echo "stopped after configure (--configure-only) in $(( $(date +%s) - start )) s; build tree in $work/build"
    exit 0
fi

cmake --build "$work/build" --parallel
cmake --install "$work/build"
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# Relocatable: the toolchain file chain-loads a copy of the compiler settings kept beside it,
# pkg-config files find their prefix from where they lie, host tools stay Debian's in /usr.
cp "$toolchain" "$prefix/lib/cmake/Qt6/mingw-w64-x86_64.cmake"
sed -i "s|set(__qt_initially_configured_toolchain_file \"$toolchain\")|set(__qt_initially_configured_toolchain_file \"\${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake\")|" \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
sed -i "s|^prefix=$prefix|prefix=\${pcfiledir}/../..|" "$prefix"/lib/pkgconfig/*.pc
sed -i 's|^HostPrefix=.*|HostPrefix=/usr|; s|^HostData=.*|HostData=.|' "$prefix/bin/target_qt.conf"
grep -rlI "$work/" "$prefix" | xargs -r sed -i "s|$work/|/build/|g"

for dll in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
    plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
    plugins/styles/qwindowsvistastyle.dll; do
    [ -f "$prefix/$dll" ] || { echo "$prefix/$dll was not installed" >&2; exit 1; }
done
echo "Qt 6.4.2 for mingw-w64 installed in $prefix in $(( $(date +%s) - start )) s"
