#!/usr/bin/env bash
# The extraction benchmark. In one run it measures, on a generated corpus:
#   - the floor: inflating every worksheet and shared-string part with libdeflate, one core;
#   - rowsifter-cli in single-workbook mode (3 values) on one core and on every core;
#   - rowsifter-cli in per-value mode (5 values);
#   - the same corpus as .xls, single-workbook mode;
#   - the same search done by an openpyxl script (the peer);
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
  /usr/bin/time -o "$stats" -f "%e %U %S %M" "$@" >/dev/null 2>&1 || true
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$stats"
}

# median over runs of measure CMD...
median() {
  local i lines=()
  for ((i = 0; i < runs; i++)); do lines+=("$(measure "$@")"); done
  printf '%s\n' "${lines[@]}" | sort -n -k1,1 | sed -n "$(( (runs + 1) / 2 ))p"
}

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

xls_n=$(( workbooks < 10 ? workbooks : 10 ))
small=$(corpus "$xls_n")
xls="$work/xls-$xls_n"
if [ ! -f "$xls/.done" ]; then
  rm -rf "$xls"; "$python" "$root/bench/xlsx_to_xls.py" "$small" "$xls"; touch "$xls/.done"
fi
# shellcheck disable=SC2046
row "$xls_n workbooks as .xlsx, 3 values" "$(median "$cli" --source "$small" --dest "$out" $(findargs "${values3[@]}"))"
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
