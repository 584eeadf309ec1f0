#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets of fuzz/ with clang and runs each in turn,
# SECONDS (default 600) in all, split evenly between them. Each starts from
# the seeds (test fixtures and small made inputs) and the corpus it grew in
# earlier runs. Crashing inputs land in BUILD/findings/; the script fails when
# any target finds one.
#
#   scripts/fuzz.sh [SECONDS]          FUZZ_BUILD_DIR (default build-fuzz)
#                                      FUZZ_TARGETS   (default: all, space separated)
set -euo pipefail
cd "$(dirname "$0")/.."

total=${1:-600}
build=${FUZZ_BUILD_DIR:-build-fuzz}
read -r -a targets <<<"${FUZZ_TARGETS:-xlsx worksheet xls biff csv html numfmt formula}"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROWSIFTER_FUZZ=ON \
  -DROWSIFTER_TESTS=OFF -DROWSIFTER_BENCH=OFF -DROWSIFTER_UNITY_LIBRARY=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all
python3 fuzz/make-seeds.py "$build/seeds"

per=$(( total / ${#targets[@]} ))
(( per >= 1 )) || per=1
mkdir -p "$build/findings" "$build/logs"
# Leaks are findings too; libFuzzer checks each input that grew memory.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0}

failed=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  log="$build/logs/$t.log"
  mkdir -p "$corpus"
  extra=()
  env=()
  case $t in
    # libgsf's leak (see fuzz/lsan.supp) is only matched with whole stacks,
    # which cost a slow unwind per allocation: only where libgsf runs.
    xls) env=(ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0") ;;
  esac
  case $t in
    numfmt) extra=(-max_len=512) ;;
    formula) extra=(-max_len=4096) ;;
    worksheet | csv | html) extra=(-max_len=65536) ;;
  esac
  status=0
  env "${env[@]}" "$build/fuzz/fuzz_$t" -max_total_time="$per" -timeout=30 -rss_limit_mb=2048 \
    -dict="fuzz/dict/$t.dict" -artifact_prefix="$build/findings/$t-" -print_final_stats=1 \
    "${extra[@]}" "$corpus" "$build/seeds/$t" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  printf 'fuzz_%-10s %5ss %12s executions  corpus %s\n' "$t" "$per" "${execs:-?}" "$(ls "$corpus" | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    echo "fuzz_$t stopped with status $status; the end of $log:"
    tail -n 60 "$log"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (inputs in $build/findings/)"
  exit 1
fi
