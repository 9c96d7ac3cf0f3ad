#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang in build-fuzz/ and runs each for
# a fixed time, starting from the seeds in fuzz/corpus/<target>/. A crash, a
# leak, an input that takes longer than the time limit, an allocation over
# 512 MB or a process over 2 GB fails the run; what libFuzzer found is left
# in build-fuzz/fuzz/findings/<target>/.
#
#   QUORBEL_FUZZ_SECONDS        time for each target (default 60)
#   QUORBEL_FUZZ_INPUT_TIMEOUT  time limit of one input in seconds (default 10)
#   QUORBEL_FUZZ_TARGETS        the targets to run, separated by blanks
#                               (default: all)
#   QUORBEL_FUZZ_BUILD_DIR      the build folder (default build-fuzz/)
set -euo pipefail

top="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORBEL_FUZZ_BUILD_DIR:-$top/build-fuzz}"
seconds="${QUORBEL_FUZZ_SECONDS:-60}"
input_timeout="${QUORBEL_FUZZ_INPUT_TIMEOUT:-10}"
read -r -a targets <<< "${QUORBEL_FUZZ_TARGETS:-fuzz_date_text fuzz_entry_list fuzz_settings_file fuzz_settings_journal fuzz_sheet_picture fuzz_proc_stat}"

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DBUILD_TESTING=OFF -DQUORBEL_FUZZ=ON
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# fontconfig (under poppler's drawing) keeps a few hundred bytes once a
# process; every other leak counts.
suppressions="$build/fuzz/leak-suppressions.txt"
echo "leak:libfontconfig" > "$suppressions"

passed=0
failed=0
for target in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$target"
  findings="$build/fuzz/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "--- $target: ${seconds} s"
  if ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1" \
     LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
     UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
     QT_QPA_PLATFORM=offscreen \
     "$build/fuzz/$target" -max_total_time="$seconds" -timeout="$input_timeout" \
       -malloc_limit_mb=512 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$findings/" "$corpus" "$top/fuzz/corpus/$target" \
       > "$build/fuzz/$target.log" 2>&1; then
    passed=$((passed + 1))
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$build/fuzz/$target.log" || true
  else
    failed=$((failed + 1))
    echo "$target FAILED; its log ($build/fuzz/$target.log) ends:"
    tail -n 40 "$build/fuzz/$target.log"
    ls -l "$findings"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
