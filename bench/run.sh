#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The extraction benchmark. In one run it measures, on a generated corpus:
#   - the floor: inflating every worksheet and shared-string part with libdeflate, one core;
#   - rowsifter-cli in single-workbook mode (3 values) on one core and on every core;
#   - rowsifter-cli in per-value mode (5 values);
#   - the same corpus as .xls, single-workbook mode;
#   - the same workbooks with every amount a formula stored without its
#     result, which is calculated on opening (the cost of evaluation);
#   - the same search done by an openpyxl script (the peer);
#   - a large extraction (six names, about a tenth of the rows) against a search
#     for six ID fragments on the same corpus that extracts a few hundred rows;
#   - an extraction past the row limit (every city cell of 600,000 rows), which
#     is saved as CSV: its records are counted against the rows extracted;
#   - one-column mode (an ID prefix in column 1, found in most rows) on three
#     corpus sizes: its peak memory must not grow with the rows searched;
# then repeats the single-workbook job on three corpus sizes and plots time
# and peak memory against size.
#
#   bench/run.sh [--workbooks N] [--rows N] [--columns N] [--runs N] [--work DIR] [--no-peer]
#
# Figures are medians of --runs runs (peer and .xls corpus: one run) and every
# time is quoted as a ratio to the floor measured in the same run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
workbooks=50
rows=20000
columns=12
runs=3
work="${TMPDIR:-/tmp}/rowsifter-bench"
peer=1
while [ $# -gt 0 ]; do
  case "$1" in
    --workbooks) workbooks=$2; shift 2 ;;
    --rows) rows=$2; shift 2 ;;
    --columns) columns=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --no-peer) peer=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

cli="$build/rowsifter-cli"
gen="$build/bench/generate_corpus"
floor_bin="$build/bench/inflate_floor"
for b in "$cli" "$gen" "$floor_bin"; do
  [ -x "$b" ] || { echo "missing $b: build first (cmake --build build)" >&2; exit 2; }
done
python=/usr/bin/python3
mkdir -p "$work"

values3=(张伟 李娜 1101011234)
values5=(张伟 李娜 1101011234 王芳 赵敏)
names6=(张伟 李娜 王芳 赵敏 刘洋 陈静)
ids6=(110101123 110102123 110103123 1101041234 1101051234 1101061234)
cities8=(北京 上海 广州 深圳 杭州 成都 武汉 南京)

corpus() {  # corpus N -> folder with N workbooks (generated once)
  local dir="$work/corpus-$1x$rows x$columns"
  dir=${dir// /}
  if [ ! -f "$dir/.done" ]; then
    rm -rf "$dir"
    "$gen" --out "$dir" --workbooks "$1" --rows "$rows" --columns "$columns" --seed 7 --subfolders 2 >/dev/null
    touch "$dir/.done"
  fi
  echo "$dir"
}

# measure CMD... -> "wall user+sys peakKiB" of one run
measure() {
  local stats="$work/time.txt"
  /usr/bin/time -o "$stats" -f "%e %U %S %M" "$@" >/dev/null 2>"$work/last.err" || true
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$stats"
}

# median over runs of measure CMD...
median() {
  local i lines=()
  for ((i = 0; i < runs; i++)); do lines+=("$(measure "$@")"); done
  printf '%s\n' "${lines[@]}" | sort -n -k1,1 | sed -n "$(( (runs + 1) / 2 ))p"
}

# rows extracted, as the last job reported them
extracted() { sed -n 's/.*提取\([0-9]*\)条数据.*/\1/p' "$work/last.err" | tail -1; }

findargs() { local v a=(); for v in "$@"; do a+=(--find "$v"); done; echo "${a[@]}"; }

big=$(corpus "$workbooks")
out="$work/out"
rm -rf "$out"; mkdir -p "$out"

floor_times=()
for ((i = 0; i < runs; i++)); do
  floor_times+=("$(taskset -c 0 "$floor_bin" "$big" | awk '{print $1}')")
done
floor=$(printf '%s\n' "${floor_times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")

row() {  # row NAME "wall cpu kib"
  read -r wall cpu kib <<<"$2"
  printf '| %-38s | %8.2f | %8.2f | %8d | %6.1fx |\n' "$1" "$wall" "$cpu" "$((kib / 1024))" "$(awk -v a="$wall" -v b="$floor" 'BEGIN{print a/b}')"
}

echo "Corpus: $workbooks workbooks x $rows rows x $columns columns ($(du -sh "$big" | cut -f1) of .xlsx); $(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo
echo "| what                                   | wall (s) | CPU (s)  | peak MiB | vs floor |"
echo "|----------------------------------------|----------|----------|----------|----------|"
printf '| %-38s | %8.2f | %8s | %8s | %6.1fx |\n' "floor: libdeflate inflate, 1 core" "$floor" "-" "-" 1
# shellcheck disable=SC2046
row "single workbook, 3 values, 1 core" "$(median taskset -c 0 "$cli" --source "$big" --dest "$out" $(findargs "${values3[@]}"))"
# shellcheck disable=SC2046
single=$(median "$cli" --source "$big" --dest "$out" $(findargs "${values3[@]}"))
row "single workbook, 3 values, all cores" "$single"
# shellcheck disable=SC2046
row "per value, 5 values, all cores" "$(median "$cli" --source "$big" --dest "$out" --per-value $(findargs "${values5[@]}"))"

# Large extractions: time against a search that finds little on the same corpus.
# shellcheck disable=SC2046
few=$(median "$cli" --source "$big" --dest "$out" $(findargs "${ids6[@]}"))
few_rows=$(extracted)
row "6 ID fragments, $few_rows rows" "$few"
# shellcheck disable=SC2046
many=$(median "$cli" --source "$big" --dest "$out" $(findargs "${names6[@]}"))
many_rows=$(extracted)
row "6 names, $many_rows rows" "$many"

# Past the row limit: 600,000 source rows, two city cells each, saved as CSV.
csv_n=$(( (600000 + rows - 1) / rows ))
csv_dir=$(corpus "$csv_n")
rm -f "$out/${cities8[0]}.csv"
# shellcheck disable=SC2046
past=$(median "$cli" --source "$csv_dir" --dest "$out" $(findargs "${cities8[@]}"))
past_rows=$(extracted)
csv_records=$( [ -f "$out/${cities8[0]}.csv" ] && wc -l <"$out/${cities8[0]}.csv" || echo 0)
row "8 cities, $past_rows rows, CSV" "$past"

xls_n=$(( workbooks < 10 ? workbooks : 10 ))
small=$(corpus "$xls_n")
xls="$work/xls-$xls_n"
if [ ! -f "$xls/.done" ]; then
  rm -rf "$xls"; "$python" "$root/bench/xlsx_to_xls.py" "$small" "$xls"; touch "$xls/.done"
fi
# shellcheck disable=SC2046
stored=$(median "$cli" --source "$small" --dest "$out" $(findargs "${values3[@]}"))
row "$xls_n workbooks as .xlsx, 3 values" "$stored"
# The same workbooks, every amount a formula without a stored result.
calc="$work/formulas-${xls_n}x${rows}x$columns"
if [ ! -f "$calc/.done" ]; then
  rm -rf "$calc"
  "$gen" --out "$calc" --workbooks "$xls_n" --rows "$rows" --columns "$columns" --seed 7 --subfolders 2 --amounts formulas >/dev/null
  touch "$calc/.done"
fi
# shellcheck disable=SC2046
calculated=$(median "$cli" --source "$calc" --dest "$out" $(findargs "${values3[@]}"))
row "$xls_n workbooks, amounts as formulas" "$calculated"
# shellcheck disable=SC2046
row "$xls_n workbooks as .xls, 3 values" "$(median "$cli" --source "$xls" --dest "$out" $(findargs "${values3[@]}"))"

if [ "$peer" = 1 ]; then
  row "peer: openpyxl, 3 values" "$(measure "$python" "$root/bench/peer_openpyxl.py" "$big" "$out/peer.xlsx" "${values3[@]}")"
fi

# One workbook holding as many rows as the whole corpus (at most a sheet's
# worth) in one sheet, on one core: compare with "single workbook, 3 values,
# 1 core", the same number of rows spread over the corpus's workbooks.
one_rows=$(( workbooks * rows < 1048575 ? workbooks * rows : 1048575 ))
one="$work/one-${one_rows}x$columns"
if [ ! -f "$one/.done" ]; then
  rm -rf "$one"
  "$gen" --out "$one" --workbooks 1 --rows "$one_rows" --columns "$columns" --seed 7 --subfolders 0 >/dev/null
  touch "$one/.done"
fi
# shellcheck disable=SC2046
row "one workbook of $one_rows rows, 1 core" "$(median taskset -c 0 "$cli" --source "$one" --dest "$out" $(findargs "${values3[@]}"))"
# The same on every core: its sheet inflates on a second thread while the first scans it.
# shellcheck disable=SC2046
one_all=$(median "$cli" --source "$one" --dest "$out" $(findargs "${values3[@]}"))
row "one workbook of $one_rows rows, all cores" "$one_all"
echo
echo "One workbook of $one_rows rows on every core: $(awk -v a="${one_all%% *}" -v b="${single%% *}" 'BEGIN{printf "%.2f", a/b}')x the time of the same rows over $workbooks workbooks on every core."
echo "Large extraction: $many_rows rows take $(awk -v a="${many%% *}" -v b="${few%% *}" 'BEGIN{printf "%.2f", a/b}')x the time of the $few_rows-row search on the same corpus."
echo "Formulas without stored results: $(awk -v a="${calculated%% *}" -v b="${stored%% *}" 'BEGIN{printf "%.2f", a/b}')x the time of the same workbooks with stored values."
if [ "$csv_records" = "$past_rows" ]; then
  echo "Past the row limit: the CSV holds $csv_records records, every row extracted."
else
  echo "Past the row limit: MISMATCH, the CSV holds $csv_records records for $past_rows rows extracted."
fi

# One-column mode on three corpus sizes: the column of each sheet passes
# through a scratch sheet, which must not keep what it held.
echo
echo "One-column mode (--column 1, --find 1101):"
echo "| workbooks | rows extracted | wall (s) | peak MiB |"
echo "|-----------|----------------|----------|----------|"
column_peak=0
for n in $(( workbooks / 5 > 0 ? workbooks / 5 : 1 )) $(( workbooks / 2 > 0 ? workbooks / 2 : 1 )) "$workbooks"; do
  dir=$(corpus "$n")
  read -r wall cpu kib <<<"$(median "$cli" --source "$dir" --dest "$out" --column 1 --find 1101)"
  printf '| %9d | %14s | %8.2f | %8d |\n' "$n" "$(extracted)" "$wall" "$((kib / 1024))"
  column_peak=$(( kib / 1024 > column_peak ? kib / 1024 : column_peak ))
done
echo "One-column mode: highest peak $column_peak MiB (target: under 200 MiB at every size)."

# Growth: the single-workbook job on three corpus sizes.
plotdata="$work/growth.tsv"
: >"$plotdata"
for n in $(( workbooks / 5 > 0 ? workbooks / 5 : 1 )) $(( workbooks / 2 > 0 ? workbooks / 2 : 1 )) "$workbooks"; do
  dir=$(corpus "$n")
  # shellcheck disable=SC2046
  read -r wall cpu kib <<<"$(median "$cli" --source "$dir" --dest "$out" $(findargs "${values3[@]}"))"
  echo "$n $wall $((kib / 1024))" >>"$plotdata"
done
"$python" "$root/bench/plot_growth.py" "$plotdata" "$root/bench/growth.png" "$rows" "$columns"
echo
echo "Growth (workbooks, wall s, peak MiB):"
cat "$plotdata"
echo "Plot: bench/growth.png"
