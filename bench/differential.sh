#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs two builds of rowsifter-cli on the same corpus in several job modes and
# compares their result workbooks cell by cell (values and formats).
#
#   bench/differential.sh OLD_CLI NEW_CLI CORPUS [WORK]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
old=$1 new=$2 corpus=$3 work=${4:-${TMPDIR:-/tmp}/rowsifter-differential}
compare="$root/build/compare_workbooks"
[ -x "$compare" ] || { echo "missing $compare: build the compare_workbooks target" >&2; exit 2; }

modes=(
  "three values|--find 张伟 --find 李娜 --find 1101011234"
  "per value|--per-value --find 张伟 --find 李娜 --find 1101011234 --find 王芳 --find 赵敏"
  "whole cell|--whole --find 张伟 --find 上海"
  "whole numbers|--whole --find 61,893.34 --find 379 --find 1101011234"
  "cells only|--cell-only --find 张 --find 李"
  "one column|--column 1 --find 1101"
  "per value, one column|--per-value --column 3 --find 上海 --find 广州"
  "named sheet|--sheet Sheet1 --find 王芳"
  "wildcards|--find 张?伟 --find 110*34"
  "digit runs|--find 499 --find 4990 --find 45 --find 2022-03"
  "nothing found|--find 不存在的值"
)
status=0
for mode in "${modes[@]}"; do
  name=${mode%%|*}
  read -r -a args <<<"${mode#*|}"
  rm -rf "$work/old" "$work/new"; mkdir -p "$work/old" "$work/new"
  "$old" --source "$corpus" --dest "$work/old" "${args[@]}" 2>"$work/old.log" || true
  "$new" --source "$corpus" --dest "$work/new" "${args[@]}" 2>"$work/new.log" || true
  # The status lines agree but for the seconds taken.
  if ! diff <(sed 's/耗时[0-9]*秒//' "$work/old.log") <(sed 's/耗时[0-9]*秒//' "$work/new.log") >/dev/null; then
    echo "$name: status lines differ"; status=1
  fi
  files=0
  for f in "$work/old"/*; do
    [ -e "$f" ] || continue
    files=$((files + 1))
    g="$work/new/$(basename "$f")"
    if [ ! -e "$g" ]; then echo "$name: $(basename "$f") missing in the new results"; status=1; continue; fi
    "$compare" "$f" "$g" || status=1
  done
  [ "$(ls "$work/new" | wc -l)" = "$files" ] || { echo "$name: the new build wrote other files"; status=1; }
  echo "$name: $files result workbook(s) compared; $(tail -1 "$work/new.log")"
done
exit $status
