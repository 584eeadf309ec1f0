#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Puts the licence line at the top of every tracked source file that lacks it
# (after a shebang line where there is one). Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/spdx-files.sh

while IFS= read -r file; do
  head -n 3 "$file" | grep -q "SPDX-License-Identifier:" && continue
  line="$(spdx_line_for "$file")"
  if head -n1 "$file" | grep -q '^#!'; then
    { head -n1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$file.spdx"
  else
    { echo "$line"; cat "$file"; } >"$file.spdx"
  fi
  chmod --reference="$file" "$file.spdx"
  mv "$file.spdx" "$file"
done < <(spdx_files)
