#!/usr/bin/env bash
# Runs the shipped example batch with the built program, in a folder of its
# own, and draws the pictures of every run there when matplotlib is
# installed (Debian: apt-get install python3-matplotlib):
#   examples/run.sh [program] [output folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/quorvel}")"
out="${2:-$here/../out/examples}"
mkdir -p "$out"
cp "$here"/batch/* "$out"/
out="$(cd "$out" && pwd)"
status=0
(cd "$out" && "$program") || status=$?
echo "Example batch finished (exit status $status); reports and value files in $out"

if python="$(bash "$here/../tools/find_python.sh" matplotlib numpy)"; then
  if "$python" "$here/../tools/plot_planes.py" "$out" >/dev/null; then
    echo "Pictures (*_plane.png, *-probabilities.png) in $out"
  else
    echo "Some pictures could not be drawn (see the messages above)"
  fi
else
  echo "No pictures: matplotlib is not installed (apt-get install python3-matplotlib)"
fi
exit $status
