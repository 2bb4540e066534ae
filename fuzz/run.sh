#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each one for a fixed time:
#   fuzz/run.sh <seconds-per-harness> [harness ...]
# The seeds of fuzz/corpus/<harness>/ are read, never written; what the
# fuzzer learns is kept in $BUILD/corpus/<harness>/ and a crashing input in
# $BUILD/artifacts/<harness>/. The inputs of fixed findings, kept in
# fuzz/corpus/regressions/<harness>/, are replayed first. Exits non-zero on
# any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-20}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(field_readers top readhead format_reader record_writer run_data read_column)
# Absolute paths: the harnesses work in directories of their own.
BUILD=$(realpath -m "${QUORVEL_FUZZ_BUILD:-build-fuzz}")
tag=${QUORVEL_FUZZ_TAG:-}  # tells the logs of runs in parallel apart
CXX_COMPILER=${CXX_COMPILER:-$(command -v clang++ || command -v clang++-14 || echo clang++)}

mkdir -p "$BUILD"
if ! { cmake -S fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER="$CXX_COMPILER" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$BUILD" -j "${QUORVEL_FUZZ_JOBS:-2}" --target $(printf 'fuzz_%s ' "${harnesses[@]}"); } \
     >"$BUILD/build.log" 2>&1; then
  tail -40 "$BUILD/build.log"
  echo "fuzz: the harnesses do not build"
  exit 1
fi

status=0
for h in "${harnesses[@]}"; do
  corpus="$BUILD/corpus/$h" artifacts="$BUILD/artifacts/$h/"
  mkdir -p "$corpus" "$artifacts"
  max_len=4096
  [ "$h" = top ] && max_len=2048
  regressions=$root/fuzz/corpus/regressions/$h
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    if ! "$BUILD/fuzz_$h" -runs=0 -timeout=30 "$regressions"/* >"$BUILD/$h.regressions.log" 2>&1; then
      echo "fuzz_$h: a regression input fails again (see $BUILD/$h.regressions.log)"
      status=1
    fi
  fi
  if "$BUILD/fuzz_$h" "$corpus" "$root/fuzz/corpus/$h" -max_total_time="$seconds" -timeout=20 \
      -rss_limit_mb=2560 -max_len=$max_len -artifact_prefix="$artifacts" -print_final_stats=1 \
      >"$BUILD/$h$tag.log" 2>&1; then
    echo "fuzz_$h: ${seconds}s, $(grep -a -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD/$h$tag.log" | grep -a -o '[0-9]*$') runs, no finding"
  else
    echo "fuzz_$h: FINDING (see $BUILD/$h$tag.log and $artifacts)"
    tail -40 "$BUILD/$h$tag.log"
    status=1
  fi
done
exit $status
