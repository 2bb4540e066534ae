#!/usr/bin/env bash
# Runs the shipped example batch with the built program, in a folder of its
# own, and draws the pictures of every run there (tools/plot_planes.py) when
# matplotlib and the Python package quorvel are there: installed, or built
# by CMake beside the program (Debian: apt-get install python3-matplotlib
# python3-dev python3-pybind11 pybind11-dev python3-numpy):
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

# The package the build made beside the program, unless one is installed.
export PYTHONPATH="$(dirname "$program")/python${PYTHONPATH:+:$PYTHONPATH}"
if python="$(bash "$here/../tools/find_python.sh" matplotlib numpy quorvel)"; then
  if "$python" "$here/../tools/plot_planes.py" "$out" >/dev/null; then
    echo "Pictures (*_plane.png, *-probabilities.png) in $out"
  else
    echo "Some pictures could not be drawn (see the messages above)"
  fi
else
  echo "No pictures: matplotlib or the Python package quorvel is missing (apt-get install python3-matplotlib;"
  echo "the package: the CMake build with pybind11, or pip install . -- see docs/python.md)"
fi
exit $status
