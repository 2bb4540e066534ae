#!/usr/bin/env bash
# One pass over 262,144 values of the bilinear series at 1024 Hz (full band, no taper,
# no prewhitening, no bootstrap) for each frame length M given (default
# 64 128 256 512 1024): the best and median wall time of `repeats` runs of
# the whole program, the processor time (user + system) of the fastest, the estimator's share of the CPU samples (with perf,
# when it is installed) and the peak memory; then the least-squares slope of
# log time against log(N M^2) and of log memory against log(M^3).
#   bench/scaling.sh [program] [folder] [repeats] [M ...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/quorvel}")"
folder="${2:-$here/../out/scaling}"
repeats="${3:-3}"
shift $(( $# > 3 ? 3 : $# ))
frames=("${@:-64 128 256 512 1024}")
read -r -a frames <<< "${frames[*]}"
n=262144
mkdir -p "$folder"
results="$folder/results.txt"
: > "$results"
echo "| M | wall best (s) | wall median (s) | CPU of best (s) | estimator share of CPU | peak memory (MB) |"
echo "|---:|---:|---:|---:|---:|---:|"
for m in "${frames[@]}"; do
  run="$folder/M$m"
  python3 "$here/make_batch.py" "$run" --n "$n" --m "$m" --ar 0 --resamples 0 --rate 1024
  runs=() peak=0
  for _ in $(seq "$repeats"); do
    (cd "$run" && /usr/bin/time -f "%e %U %S %M" -o time.txt "$program" > /dev/null)
    read -r wall user system kib < "$run/time.txt"
    runs+=("$wall $(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')")
    (( kib > peak )) && peak=$kib
  done
  mapfile -t sorted < <(printf '%s\n' "${runs[@]}" | sort -g)
  read -r best cpu <<< "${sorted[0]}"
  read -r median _ <<< "${sorted[$(( ${#sorted[@]} / 2 ))]}"
  share="n/a"
  if command -v perf > /dev/null && (cd "$run" && perf record -q -o perf.data "$program" > /dev/null 2>&1); then
    # The estimator: its row kernels and the frame transforms.
    share=$(cd "$run" && perf report -i perf.data --sort sym --stdio 2>/dev/null |
      awk '/^ *[0-9.]+%/ { if ($0 ~ /rows_|accumulate_rows|FrameChunk|p234|cfftf|passf/) s += $1 } END { printf "%.0f %%", s }')
    rm -f "$run/perf.data" "$run/perf.data.old"
  fi
  mb=$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')
  echo "| $m | $best | $median | $cpu | $share | $mb |"
  echo "$m $best $mb $cpu" >> "$results"
  rm -f "$run/bilinear.dat"
done
# Straight-line fits with an intercept (the fixed cost: reading the data,
# the output), and the growth between the two largest frames on a log scale
# (1 means time grows as N M^2, memory as M^3).
awk -v n="$n" '
  function fit(k, name, unit,   i, mx, my, sxy, sxx, syy, b) {
    for (i = 1; i <= c; i++) { mx += x[k, i]; my += y[k, i] }
    mx /= c; my /= c
    for (i = 1; i <= c; i++) {
      sxy += (x[k, i] - mx) * (y[k, i] - my); sxx += (x[k, i] - mx) ^ 2; syy += (y[k, i] - my) ^ 2
    }
    b = sxy / sxx
    printf "%s = %.3g + %.4g x %s (r^2 = %.4f); growth between the two largest M: exponent %.2f\n",
      unit, my - b * mx, b, name, (syy > 0 ? sxy * sxy / (sxx * syy) : 1),
      log(y[k, c] / y[k, c - 1]) / log(x[k, c] / x[k, c - 1])
  }
  { c++; x[1, c] = x[3, c] = n * $1 * $1; y[1, c] = $2; x[2, c] = $1 ^ 3; y[2, c] = $3; y[3, c] = $4 }
  END { if (c > 1) { print ""; fit(1, "N M^2", "wall (s)"); fit(3, "N M^2", "CPU (s)"); fit(2, "M^3", "peak (MB)") } }
' "$results"
