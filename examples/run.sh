#!/usr/bin/env bash
# Runs the shipped example batch with the built program, in a folder of its
# own: examples/run.sh [program] [output folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/quorvel}")"
out="${2:-$here/../out/examples}"
mkdir -p "$out"
cp "$here"/batch/* "$out"/
cd "$out"
status=0
"$program" || status=$?
echo "Example batch finished (exit status $status); outputs in $(pwd)"
exit $status
