#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a tracked source file has no licence line in its first lines.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/spdx-files.sh

missing=0
count=0
while IFS= read -r file; do
  count=$((count + 1))
  if ! head -n 3 "$file" | grep -q "SPDX-License-Identifier: Apache-2.0"; then
    echo "check-spdx-headers: $file has no SPDX-License-Identifier line" >&2
    missing=1
  fi
done < <(spdx_files)
[ "$missing" = 0 ] && echo "check-spdx-headers: $count files carry the licence line"
exit "$missing"
