#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# CI: the whole test suite once under AddressSanitizer + UBSan (build-asan),
# then the read-ahead and concurrent-read tests under ThreadSanitizer
# (build-tsan, only the test programs that hold them). Any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
src=$PWD

# -O1 -g1 halves the compile time of -O2 -g and keeps file:line in reports;
# the spreadsheet layer compiles as a few large units, which halves its share.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DROWSIFTER_BENCH=OFF -DROWSIFTER_UNITY_LIBRARY=ON
       "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== AddressSanitizer + UBSan: every test"
SECONDS=0
cmake -S . -B build-asan -DROWSIFTER_ASAN=ON "${flags[@]}" "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
asan=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ASAN_OPTIONS=$asan ctest --test-dir build-asan --output-on-failure -j"$jobs" -E '^test_app$'
# The window tests under Qt's offscreen plugin, whose known leak is matched by
# name only on whole stacks: slower unwinding, for this one program.
ASAN_OPTIONS=$asan:fast_unwind_on_malloc=0 \
LSAN_OPTIONS=suppressions=$src/scripts/lsan-tests.supp:print_suppressions=0 \
  ctest --test-dir build-asan --output-on-failure -R '^test_app$'
echo "AddressSanitizer + UBSan: ${SECONDS}s"

echo "== ThreadSanitizer: read-ahead and concurrent reads"
SECONDS=0
tsan_targets=(test_concurrent_read test_native test_engine test_xlsx_reader test_writers)
cmake -S . -B build-tsan -DROWSIFTER_TSAN=ON "${flags[@]}" "${launcher[@]}" >/dev/null
cmake --build build-tsan -j"$jobs" --target "${tsan_targets[@]}"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$src/scripts/tsan.supp
export QT_QPA_PLATFORM=offscreen
# The programs run side by side, each into a log of its own shown if it fails.
logs=$(mktemp -d)
pids=()
side_by_side() {
  local log="$logs/$(basename "$1").log"
  ( "$@" >"$log" 2>&1 || { echo "== $* failed:"; cat "$log"; exit 1; } ) &
  pids+=($!)
}
side_by_side build-tsan/tests/test_concurrent_read
# The cache shared between loading threads, and views reduced by a read-ahead plan.
side_by_side build-tsan/tests/test_native
# A large part inflated on a second thread while the first scans it.
side_by_side build-tsan/tests/test_xlsx_reader --gtest_filter='InflatePipe.*'
# A large part deflated on a second thread while the next block is formatted,
# and a file written behind.
side_by_side build-tsan/tests/test_writers --gtest_filter='DeflatedPart.*:ZipPackage.*:CsvWriter.*'
# Real jobs: the source walk hands its plan to the read-ahead threads. Two
# jobs only check what tens of thousands of rows make of a result (formats
# past the limit, rows past the grid); under ThreadSanitizer they would take
# as long as all the others together and meet no thread the others do not.
side_by_side build-tsan/tests/test_engine \
  --gtest_filter='-ResultFileJobTest.TheUnionOfManyFormatsStaysWithinTheLimits:RowLimitJob.PastTheGridEveryExtractedRowIsACsvRecord'
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
rm -rf "$logs"
[ "$failed" -eq 0 ] || exit 1

echo "ThreadSanitizer: ${SECONDS}s"
