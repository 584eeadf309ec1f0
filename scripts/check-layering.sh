#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a subsystem includes a header it must not see: the engine, the
# command line and the window reach spreadsheets only through
# automation/Automation.h; the spreadsheet layer and the settings store know
# nothing of the program around them.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the project headers it may include (prefixes of quoted includes)
declare -A allowed=(
  [settings]="settings/"
  [automation]="automation/"
  [engine]="engine/ automation/Automation.h"
  [cli]="cli/ engine/ automation/Automation.h rowsifter/Version.h"
  [app]="app/ engine/ settings/ automation/Automation.h rowsifter/Version.h ui_"
)

status=0
for folder in "${!allowed[@]}"; do
  while IFS= read -r line; do
    file=${line%%:*}
    header=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${line#*:}")
    ok=0
    for prefix in ${allowed[$folder]}; do
      [[ "$header" == "$prefix"* ]] && ok=1
    done
    if [ "$ok" = 0 ]; then
      echo "check-layering: $file includes \"$header\", which $folder/ must not use" >&2
      status=1
    fi
  done < <(git ls-files -- "$folder/*.cpp" "$folder/*.h" | xargs -r grep -H -E '^\s*#\s*include "' || true)
done
[ "$status" = 0 ] && echo "check-layering: every subsystem includes only what it may"
exit "$status"
