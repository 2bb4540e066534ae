#!/usr/bin/env bash
# Times the whole program on the benchmark batch (65,536 values, M = 256,
# full band, AR(5), 100 resamples): bench/batch_bench.sh [program] [folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/quorvel}")"
folder="${2:-$here/../out/bench-batch}"
python3 "$here/make_batch.py" "$folder"
cd "$folder"
/usr/bin/time -f "wall %e s  user %U s  peak memory %M KiB" "$program"
