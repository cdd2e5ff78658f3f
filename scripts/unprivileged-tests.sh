#!/usr/bin/env bash
# The tests about access rights skip themselves under root, who may open anything. When the test
# command runs as root, run just those again as the unprivileged user "nobody".
# Usage: scripts/unprivileged-tests.sh <build dir>
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
[ "$(id -u)" -eq 0 ] || exit 0
if ! command -v runuser >/dev/null || ! id nobody >/dev/null 2>&1; then
    echo "no unprivileged user to run the access-rights tests as; they stay skipped"
    exit 0
fi

run() {
    local binary=$build/$1 filter=$2
    if ! runuser -u nobody -- test -x "$binary"; then
        echo "nobody cannot reach $binary (a parent folder is closed); access-rights tests skipped"
        return 0
    fi
    (cd /tmp && runuser -u nobody -- env QT_QPA_PLATFORM=offscreen HOME=/tmp \
        "$binary" --gtest_filter="$filter" --gtest_brief=1)
}

run tests/serial/serial_tests 'SerialOpen.ReportsMissingPermission:SerialOpen.ClosedPortOpensAgainForAnUnprivilegedUser'
run tests/presets/presets_tests 'IniFile.SaveIntoReadOnly*'
run tests/ui/window_device_tests 'DeviceWindow.PortWithoutPermission*'
