#!/usr/bin/env bash
# Builds what a Windows user installs and checks it under Wine: stages KVUUtility.exe,
# kvuctl.exe, the Qt DLLs and plugins and the mingw runtime; builds the installer with makensis
# and a portable zip of the same files; checks that every DLL a shipped file imports is shipped
# or is a Windows system DLL; installs silently in a scratch Wine prefix, checks the files, the
# Start-menu shortcut and the Add/Remove Programs entry, starts the installed programs (and the
# window against kvu-sim when a Linux build is given), uninstalls silently and checks that
# nothing is left. One line per check, then "N passed, M failed"; the exit status is 0 only if
# all passed.
# Usage: scripts/windows-installer-check.sh <windows-build-dir> [linux-build-dir]
#   KVU_QT_MINGW  the Qt for mingw-w64 (default ../shared/toolchains/qt-6.4.2-mingw-w64)
#   KVU_PACKAGE_DIR  where the installer and the zip are kept (default <windows-build-dir>/package)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 <windows-build-dir> [linux-build-dir]" >&2
    exit 2
fi
winbuild=$(realpath "$1")
linuxbuild=${2:+$(realpath "$2")}
qt=${KVU_QT_MINGW:-$root/../shared/toolchains/qt-6.4.2-mingw-w64}
outdir=${KVU_PACKAGE_DIR:-$winbuild/package}
version=2.0.6
# What --version prints is the program's own version text, kept in one header.
version_text=$(sed -n 's/^inline constexpr const char\* kVersionText = "\(.*\)";$/\1/p' logging/app_info.h)
[ -n "$version_text" ] || { echo "no kVersionText in logging/app_info.h" >&2; exit 1; }
nsi=packaging/windows/kvu-utility.nsi
objdump=x86_64-w64-mingw32-objdump

for tool in makensis zip unzip "$objdump"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh test)" >&2; exit 1; }
done
. scripts/wine-common.sh
kvu_find_wine || { echo "Wine is missing (scripts/deps.sh test)" >&2; exit 1; }
[ -d "$qt/bin" ] || { echo "no Qt for mingw-w64 in $qt (set KVU_QT_MINGW)" >&2; exit 1; }

gui_exe=$(find_exe KVUUtility.exe)
ctl_exe=$(find_exe kvuctl.exe)

work=$(mktemp -d)
kvu_scratch_prefix

# --- stage -----------------------------------------------------------------------------------
stage=$work/stage
kvu_stage_programs "$stage"
staged=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
echo "staged $(echo "$staged" | wc -l) files from $gui_exe, $ctl_exe and $qt"

# The installer names every file itself (so its uninstaller removes exactly those): the two
# lists must agree, else a file would be left out of the installer or missing from the stage.
listed=$(sed -n 's/^ *File "${STAGE}\\\(.*\)"$/\1/p' "$nsi" | tr '\\' / | sort)
diff_out=$(diff <(echo "$listed") <(echo "$staged") || true)
check "the installer lists exactly the staged files" "${diff_out:+$(echo "$diff_out" | tr '\n' ' ')}" \
    "$([ -z "$diff_out" ] && [ -n "$listed" ]; echo $?)"

# --- imports ---------------------------------------------------------------------------------
# DLLs that every Windows 10 has in System32 (and Wine provides); anything else must be shipped.
system_dlls=" advapi32.dll authz.dll bcrypt.dll cfgmgr32.dll comctl32.dll comdlg32.dll crypt32.dll
 d3d11.dll d3d9.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll
 msvcrt.dll netapi32.dll ntdll.dll ole32.dll oleaut32.dll rpcrt4.dll setupapi.dll shcore.dll
 shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll version.dll winmm.dll ws2_32.dll
 wtsapi32.dll winspool.drv "
system_dlls=$(echo $system_dlls)
system_dlls=" $system_dlls "
shipped_lower=" $(cd "$stage" && find . -name '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z' | tr '\n' ' ') "
import_problems=()
imports_seen=0
while IFS= read -r file; do
    while IFS= read -r dll; do
        imports_seen=$((imports_seen + 1))
        lower=$(echo "$dll" | tr 'A-Z' 'a-z')
        case "$shipped_lower$system_dlls" in
            *" $lower "*) ;;
            # API set names, which the Windows 10 loader (and Wine's) resolve without a file.
            *) [[ $lower == api-ms-win-core-*.dll ]] || import_problems+=("$file imports $dll") ;;
        esac
    done < <("$objdump" -p "$stage/$file" | sed -n 's/^\s*DLL Name: //p')
done < <(echo "$staged")
check "every imported DLL is shipped or a Windows system DLL" \
    "$imports_seen imports of $(echo "$staged" | wc -l) files${import_problems:+; ${import_problems[*]}}" \
    "${#import_problems[@]}"
for exe in KVUUtility.exe kvuctl.exe; do
    subsystem=$("$objdump" -p "$stage/$exe" | sed -n 's/^Subsystem\s*//p')
    echo "  $exe: subsystem $subsystem, imports $("$objdump" -p "$stage/$exe" |
        sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done

# --- installer and zip -----------------------------------------------------------------------
mkdir -p "$outdir"
setup=$outdir/KVUUtility-$version-setup.exe
portable=$outdir/KVUUtility-$version-portable.zip
rm -f "$setup" "$portable"
makensis -V2 -DSTAGE="$stage" -DVERSION="$version" -DOUTFILE="$setup" "$nsi" >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log" >&2; }
check "makensis built $(basename "$setup")" \
    "$( [ -f "$setup" ] && echo "$(( $(stat -c %s "$setup") / 1024 )) KiB")" "$([ -f "$setup" ]; echo $?)"
# The zip opens into one folder, as a portable copy is unpacked and kept.
ln -s "$stage" "$work/KVUUtility-$version"
(cd "$work" && zip -q -r -X "$portable" "KVUUtility-$version/")
zipped=$(unzip -Z1 "$portable" | grep -v '/$' | sed "s|^KVUUtility-$version/||" | sort)
check "the portable zip holds the staged files" \
    "$( [ -f "$portable" ] && echo "$(( $(stat -c %s "$portable") / 1024 )) KiB, $(echo "$zipped" | wc -l) files")" \
    "$([ "$zipped" = "$staged" ]; echo $?)"
[ -f "$setup" ] || { echo "$passed passed, $failed failed"; exit 1; }

# --- silent install under Wine ---------------------------------------------------------------
start=$(date +%s)
timeout 120 "$wine" wineboot.exe --init >"$work/wineboot.log" 2>&1 ||
    { cat "$work/wineboot.log" >&2; echo "wineboot failed" >&2; exit 1; }
echo "Wine prefix ready in $(( $(date +%s) - start )) s"
sys32=$WINEPREFIX/drive_c/windows/system32
missing_sys=()
for dll in $system_dlls; do
    [ -f "$sys32/$dll" ] || missing_sys+=("$dll")
done
check "the system DLLs allowed above exist in Wine's system32" "${missing_sys[*]:-}" "${#missing_sys[@]}"

instdir_win='C:\Program Files\Nalto\KVU Utility'
instdir=$WINEPREFIX/drive_c/Program\ Files/Nalto/KVU\ Utility
menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Nalto\ KVU\ Utility
shortcut=$menu/Nalto\ KVU\ Utility.lnk
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\NaltoKVUUtility'

status=0
timeout 120 "$wine" "$setup" /S || status=$?
"$wineserver" -w
check "silent install (/S) ends with status 0" "status $status" "$status"

installed=$( [ -d "$instdir" ] && cd "$instdir" && find . -type f | sed 's|^\./||' | sort || true)
expected=$(printf '%s\nuninstall.exe\n' "$staged" | sort)
diff_out=$(diff <(echo "$expected") <(echo "$installed") || true)
check "the install folder holds the staged files and uninstall.exe" \
    "${diff_out:+$(echo "$diff_out" | tr '\n' ' ')}" "$([ -z "$diff_out" ]; echo $?)"
same=0
while IFS= read -r f; do
    cmp -s "$stage/$f" "$instdir/$f" || { same=1; echo "  differs: $f"; }
done < <(echo "$staged")
check "the installed files are the staged files byte for byte" "" "$same"

# A .lnk keeps its target path as text (ANSI and UTF-16 copies).
target_ok=1
if [ -f "$shortcut" ] &&
    { strings -a "$shortcut"; strings -a -el "$shortcut"; } | grep -iF 'KVU Utility\KVUUtility.exe' >/dev/null; then
    target_ok=0
fi
check "Start-menu shortcut points at KVUUtility.exe" "${shortcut#"$WINEPREFIX"/}" "$target_ok"

reg_query() {
    "$wine" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
uninstall_string=$(reg_query UninstallString)
display_name=$(reg_query DisplayName)
display_version=$(reg_query DisplayVersion)
check "Add/Remove Programs entry" \
    "DisplayName \"$display_name\", DisplayVersion \"$display_version\", UninstallString $uninstall_string" \
    "$([ "$display_name" = "Nalto KVU Utility" ] && [ "$display_version" = "$version" ] &&
        [ "$uninstall_string" = "\"$instdir_win\\uninstall.exe\"" ]; echo $?)"

# --- the installed programs ------------------------------------------------------------------
# Started from the install folder, as the shortcut does, so their logs land where the
# uninstaller looks for them.
run_installed() {  # run_installed OUTFILE EXE ARGS...
    local out=$1 exe=$2
    shift 2
    (cd "$instdir" && timeout 60 "$wine" "$instdir_win\\$exe" "$@" >"$out" 2>&1)
}
status=0
run_installed "$work/ctl-version.txt" kvuctl.exe --version || status=$?
ctl_version=$(tr -d '\r' <"$work/ctl-version.txt" | head -n 1)
check "installed kvuctl.exe --version" "status $status, \"$ctl_version\"" \
    "$([ "$status" -eq 0 ] && [ "$ctl_version" = "kvuctl $version_text" ]; echo $?)"
status=0
run_installed "$work/gui-version.txt" KVUUtility.exe --version || status=$?
gui_version=$(tr -d '\r' <"$work/gui-version.txt" | head -n 1)
# A GUI program's standard output reaches a file it is redirected to, not a terminal.
check "installed KVUUtility.exe --version" "status $status, \"$gui_version\"" \
    "$([ "$status" -eq 0 ] && [ "$gui_version" = "KVU Utility $version_text" ]; echo $?)"

sim=${linuxbuild:+$linuxbuild/sim/kvu-sim}
if [ -n "$sim" ] && [ -x "$sim" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    # The installed window against kvu-sim on COM9, on a virtual display of its own.
    "$sim" --link "$work/com9" --serial WINE0001 --transcript "$work/wire.txt" >"$work/sim.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$work/com9" ] && break; sleep 0.05; done
    ln -sfn "$work/com9" "$WINEPREFIX/dosdevices/com9"
    kvu_start_xvfb
    display=$xvfb_display
    # The Wine processes left from the install run without a display; a window of a program
    # started next would land on their display-less desktop.
    "$wineserver" -k 2>/dev/null || true
    (cd "$instdir" && DISPLAY=$display KVU_DIALOG_TRANSCRIPT="$work/dialogs.txt" \
        exec timeout 120 "$wine" "$instdir_win\\KVUUtility.exe" --port=COM9 >"$work/gui.out" 2>&1) &
    gui_pid=$!
    connected=1
    for _ in $(seq 600); do
        if grep -qx ver "$work/wire.txt" 2>/dev/null && grep -qx serial "$work/wire.txt" &&
            grep -q '^get' "$work/wire.txt"; then
            connected=0
            break
        fi
        kill -0 "$gui_pid" 2>/dev/null || break
        sleep 0.1
    done
    check "installed KVUUtility.exe --port=COM9 connects to kvu-sim" \
        "on the wire: $(tr '\n' ' ' <"$work/wire.txt" 2>/dev/null | cut -c1-80)" "$connected"
    # Escape closes the window, as a user would.
    window=""
    # A fresh prefix draws its first window late (seen: about 12 s).
    for _ in $(seq 300); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Nalto KVU Utility$' 2>/dev/null |
            head -n 1 || true)
        [ -n "$window" ] && break
        kill -0 "$gui_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -n "$window" ]; then
        DISPLAY=$display xdotool windowfocus --sync "$window" key --window "$window" Escape || true
    fi
    status=0
    for _ in $(seq 100); do kill -0 "$gui_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$gui_pid" 2>/dev/null; then
        status=124
        "$wineserver" -k || true
    fi
    wait "$gui_pid" || status=$?
    check "the installed window closes on Escape with status 0" "window ${window:-not found}, status $status" \
        "$([ -n "$window" ] && [ "$status" -eq 0 ]; echo $?)"
    log=$instdir/Nalto_KVU_Utility_log.txt
    check "the installed window wrote its log in the install folder" \
        "$( [ -f "$log" ] && echo "$(wc -l <"$log") lines")" "$([ -s "$log" ]; echo $?)"
else
    echo "SKIP the installed window against kvu-sim: needs <linux-build-dir>/sim/kvu-sim, Xvfb and xdotool"
fi
"$wineserver" -w

# --- silent uninstall ------------------------------------------------------------------------
status=0
timeout 120 "$wine" "$instdir_win\\uninstall.exe" /S || status=$?
# The uninstaller runs on from a copy of itself in TEMP; wait for every Wine process to end.
timeout 120 "$wineserver" -w || true
check "silent uninstall (/S) ends with status 0" "status $status" "$status"
left=$( [ -d "$instdir" ] && cd "$instdir" && find . | sed 's|^\./||' | tr '\n' ' ' || true)
check "the install folder is gone" "${left:+left: $left}" "$([ ! -e "$instdir" ]; echo $?)"
check "the Nalto folder in Program Files is gone" "" \
    "$([ ! -e "$WINEPREFIX/drive_c/Program Files/Nalto" ]; echo $?)"
check "the Start-menu shortcut and its folder are gone" "" "$([ ! -e "$menu" ]; echo $?)"
status=0
"$wine" reg query "$key" >/dev/null 2>&1 || status=$?
# The parent key must still answer, so a failing reg.exe cannot pass for a removed entry.
parent=0
"$wine" reg query "${key%\\*}" >/dev/null 2>&1 || parent=$?
check "the Add/Remove Programs entry is gone" "reg query status $status, of its parent $parent" \
    "$([ "$status" -ne 0 ] && [ "$parent" -eq 0 ]; echo $?)"

echo "installer $setup ($(stat -c %s "$setup") bytes), portable zip $portable ($(stat -c %s "$portable") bytes)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
