#!/usr/bin/env bash
# Folders depend one way: a file may include headers of its own folder and of folders listed
# before it, never of one listed after it. sim/ knows only the wire and includes no other folder;
# only the program (app/) may embed it. Prints each include that runs the wrong way.
set -euo pipefail
cd "$(dirname "$0")/.."
order=(logging settings protocol serial discovery presets device ui kvuctl app)
rank() {
    local i
    for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done
    echo -1
}
bad=0
for folder in "${order[@]}" sim; do
    [ -d "$folder" ] || continue
    mine=$(rank "$folder")
    while IFS=: read -r file line text; do
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$text")
        [ "$target" = "$folder" ] && continue
        theirs=$(rank "$target")
        [ -d "$target" ] || continue
        if [ "$folder" = sim ] || { [ "$target" = sim ] && [ "$folder" != app ]; } ||
            { [ "$target" != sim ] && [ "$theirs" -gt "$mine" ]; }; then
            echo "$file:$line: $folder/ includes $target/ (${text#*#include })"
            bad=1
        fi
    done < <(grep -rnE '^\s*#\s*include "[^/"]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
[ "$bad" -eq 0 ] && echo "includes follow the folder order: ${order[*]} (sim apart)"
exit "$bad"
