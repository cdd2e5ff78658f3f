#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts it. Extra arguments go to the program;
# without any it runs against the built-in simulated device.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target kvu-utility
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--simulate)
exec build/default/app/kvu-utility "${args[@]}"
