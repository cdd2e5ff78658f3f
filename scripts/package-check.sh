#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it without installing it: the files
# where a distribution expects them, the dependencies found by dpkg-shlibdeps, the maintainer
# scripts, and that the packaged programs run from an unpacked copy (kvuctl against packaged
# simulators).
# Usage: scripts/package-check.sh <build dir>
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:?build dir}" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/kvu-utility_*.deb)
echo "built $(basename "$deb")"

fail() { echo "package check: $*" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/kvu-utility ./usr/bin/kvu-sim ./usr/bin/kvuctl \
    ./usr/share/applications/kvu-utility.desktop \
    ./usr/share/icons/hicolor/scalable/apps/kvu-utility.svg \
    ./usr/share/icons/hicolor/256x256/apps/kvu-utility.png \
    ./usr/lib/udev/rules.d/70-kvu-utility.rules \
    ./usr/share/man/man1/kvu-utility.1.gz ./usr/share/man/man1/kvu-sim.1.gz \
    ./usr/share/man/man1/kvuctl.1.gz; do
    grep -qx "$path" <<<"$contents" || fail "missing $path"
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6core6 libspdlog1 libfmt9 libc6 libqt6gui6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "depends: $depends"

dpkg-deb -e "$deb" "$out/control"
for script in postinst postrm; do
    [ -x "$out/control/$script" ] || fail "no executable $script"
    grep -q 'udevadm control --reload-rules' "$out/control/$script" || fail "$script reloads no rules"
    sh -n "$out/control/$script" || fail "$script is not valid sh"
done

dpkg-deb -x "$deb" "$out/root"
version=$("$out/root/usr/bin/kvu-utility" --version)
[ "$version" = "KVU Utility 2.0" ] || fail "unexpected --version output: $version"
"$out/root/usr/bin/kvu-sim" --help | head -n 1 | grep -q '^Usage: kvu-sim' || fail "kvu-sim --help"
desktop-file-validate "$out/root/usr/share/applications/kvu-utility.desktop" ||
    fail "invalid desktop entry"
gzip -t "$out/root/usr/share/man/man1/kvu-utility.1.gz"
gzip -t "$out/root/usr/share/man/man1/kvuctl.1.gz"

# kvuctl runs where there is no display: no Qt Gui or Widgets among its libraries.
ctl="$out/root/usr/bin/kvuctl"
[ "$("$ctl" --version)" = "kvuctl 2.0" ] || fail "unexpected kvuctl --version output"
needed=$(readelf -d "$ctl" | awk '/NEEDED/ {print $NF}')
if grep -Eq 'Qt6(Gui|Widgets)' <<<"$needed"; then fail "kvuctl links a GUI library: $needed"; fi

# The packaged kvuctl writes and verifies two packaged simulators found by their USB listing.
sims=()
stop_sims() { for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap 'stop_sims; rm -rf "$out"' EXIT
mkdir -p "$out/fleet/dev"
for i in 1 2; do
    "$out/root/usr/bin/kvu-sim" --link "$out/fleet/dev/ttyACM$i" --usb-sysfs "$out/fleet/sys" \
        --usb-path "1-1.$i" --serial "PKG000$i" >"$out/fleet/sim$i.out" 2>&1 &
    sims+=($!)
done
for _ in $(seq 50); do
    [ -e "$out/fleet/sys/class/tty/ttyACM1" ] && [ -e "$out/fleet/sys/class/tty/ttyACM2" ] && break
    sleep 0.1
done
printf '[WWAN1]\r\nAPN=package.check\r\n' >"$out/fleet/one.all"
(
    cd "$out/fleet"
    export KVU_SYSFS_ROOT="$out/fleet/sys" KVU_DEV_ROOT="$out/fleet/dev"
    "$ctl" --all write one.all >write.out 2>write.err || fail "kvuctl write: $(cat write.out write.err)"
    [ "$(grep -c 'written and verified' write.out)" -eq 2 ] || fail "kvuctl write: $(cat write.out)"
    "$ctl" --all diff one.all >diff.out 2>&1 || fail "kvuctl diff: $(cat diff.out)"
)
stop_sims
echo "the packaged kvuctl wrote and verified two packaged simulators"
echo "package contents, dependencies, maintainer scripts and the unpacked programs are fine"
