#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a C++ source of the project strays from .clang-format.
# With --fix, formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formatter" ]; then
  echo "check-format: clang-format is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h' '*.cc')
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${sources[@]}"
  exit 0
fi
"$formatter" --dry-run --Werror "${sources[@]}"
echo "check-format: ${#sources[@]} files follow .clang-format"
