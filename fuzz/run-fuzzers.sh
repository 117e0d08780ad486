#!/bin/sh
# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS.
# A crash is minimised into tests/corpus/<target>/, which the normal test run replays.
#   FUZZ_SECONDS  seconds per target (60)
#   FUZZ_BUILD    build folder (build-fuzz)
#   FUZZ_TARGETS  targets to run (all)
#   FUZZ_JOBS     targets run at the same time (1)
#   FUZZ_CXX      the compiler (clang++-15)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-$src/build-fuzz}
targets=${FUZZ_TARGETS:-"qlf f52 textdata catalogue fieldfont ini transfer result"}
jobs=${FUZZ_JOBS:-1}
cxx=${FUZZ_CXX:-clang++-15}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DQUILLON_FUZZ=ON >/dev/null
cmake --build "$build" --target quillon_fuzzers -j "${JOBS:-2}"

# Longest input per target. Settings, font tables, catalogues and result lines are
# short files (the shipped ones are under 2 KB; a result line is about 20 bytes a
# scale): 4 KB holds several times that, and longer inputs only repeat lines while
# each run costs more. Label files and F52/F56 lines can be long. The readers'
# handling of huge lines is tested with 10 MB inputs in tests/robustness.
max_len() {
  case $1 in
    ini|fieldfont|catalogue|result) echo 4096 ;;
    *) echo 16384 ;;
  esac
}

# Writes one summary line to $build/fuzz-<target>.result.
fuzz_one() {
  t=$1
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  regress="$src/tests/corpus/$t"
  mkdir -p "$corpus" "$artifacts" "$regress"
  rm -f "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*
  dict=""
  [ -f "$src/fuzz/dict/$t.dict" ] && dict="-dict=$src/fuzz/dict/$t.dict"
  log="$build/fuzz-$t.log"
  echo "== $t: $seconds s"
  # New inputs go to the first folder only; the regression corpus is read, not grown.
  if QUILLON_FUZZ_SEED_DIR="$corpus" QUILLON_SOURCE_DIR="$src" ASAN_OPTIONS=detect_leaks=0 \
      "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" $dict "$corpus" "$regress" >"$log" 2>&1; then
    result=ok
  else
    result=FOUND
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  for crash in "$artifacts"/crash-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
    [ -f "$crash" ] || continue
    name=$(basename "$crash")
    QUILLON_SOURCE_DIR="$src" ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/fuzz_$t" -minimize_crash=1 -runs=20000 \
      -exact_artifact_path="$regress/$name" "$crash" >>"$log" 2>&1 || true
    [ -f "$regress/$name" ] || cp "$crash" "$regress/$name"
    echo "   $t: $name kept in tests/corpus/$t (see $log)"
  done
  printf '%-10s %12s executions %8s exec/s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "$result" >"$build/fuzz-$t.result"
}

# They share the machine with everything else: FUZZ_JOBS at a time, one by default.
running=0
for t in $targets; do
  fuzz_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait
    running=0
  fi
done
wait

summary="$build/fuzz-summary.txt"
for t in $targets; do
  cat "$build/fuzz-$t.result" 2>/dev/null || printf '%-10s did not run\n' "$t"
done | tee "$summary"
echo "summary: $summary"
! grep -q -v ' ok$' "$summary"
