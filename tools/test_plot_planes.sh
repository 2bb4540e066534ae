#!/usr/bin/env bash
# Runs the example batch and the picture tool on it, and checks that every
# run got its three pictures and that none is empty.
# test_plot_planes.sh QUORVEL WORKDIR; exit 77 (skipped) without matplotlib.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$1"
work="$2"
python="$(bash "$here/find_python.sh" matplotlib numpy)" || { echo "matplotlib not installed: skipped"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
cp "$here"/../examples/batch/* "$work"/
(cd "$work" && "$program" >/dev/null)
"$python" "$here/plot_planes.py" "$work" --out "$work/pictures"
stems=$(cd "$work" && ls *_Quorvel.out | sed 's/_Quorvel\.out$//')
[ -n "$stems" ] || { echo "no reports"; exit 1; }
failed=0
for stem in $stems; do
  for picture in "$stem-k3+_plane.png" "$stem-k3-_plane.png" "$stem-probabilities.png"; do
    file="$work/pictures/$picture"
    if [ ! -s "$file" ] || [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
      echo "missing, empty or not a PNG: $file"
      failed=1
    fi
  done
done
# A folder without reports is refused.
mkdir -p "$work/empty"
if "$python" "$here/plot_planes.py" "$work/empty" 2>/dev/null; then
  echo "an empty folder was accepted"
  failed=1
fi
exit $failed
