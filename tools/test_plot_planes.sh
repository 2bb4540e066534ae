#!/usr/bin/env bash
# Runs the example batch and the picture tool on it, and checks that every
# run got its three pictures, that the significant run (bilinear) and the
# null run (white) look different — many outlined pairs against few, in the
# tool's counts and in the pixels of the PNGs — and that the tool has no
# drawing code of its own (it calls quorvel.plot).
# test_plot_planes.sh QUORVEL WORKDIR; exit 77 (skipped) without matplotlib
# or without the Python package (built beside QUORVEL in python/).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "$1")"
work="$2"
export PYTHONPATH="$(cd "$(dirname "$program")" && pwd)/python${PYTHONPATH:+:$PYTHONPATH}"
python="$(bash "$here/find_python.sh" matplotlib numpy quorvel)" || {
  echo "matplotlib or the quorvel package not importable: skipped"; exit 77; }
failed=0

# The tool draws nothing itself.
if grep -nE 'pcolormesh|imshow|colorbar|\.hist\(|\.bar\(|(ax|plt|axes)\.plot\(|add_collection|subplots|suptitle' "$here/plot_planes.py"; then
  echo "tools/plot_planes.py has drawing code of its own (above): it must call quorvel.plot"
  failed=1
fi

rm -rf "$work"
mkdir -p "$work"
cp "$here"/../examples/batch/* "$work"/
(cd "$work" && "$program" >/dev/null)
"$python" "$here/plot_planes.py" "$work" --out "$work/pictures" >"$work/pictures.txt"
stems=$(cd "$work" && ls *_Quorvel.out | sed 's/_Quorvel\.out$//')
[ -n "$stems" ] || { echo "no reports"; exit 1; }
for stem in $stems; do
  for picture in "$stem-k3+_plane.png" "$stem-k3-_plane.png" "$stem-probabilities.png"; do
    file="$work/pictures/$picture"
    if [ ! -s "$file" ] || [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
      echo "missing, empty or not a PNG: $file"
      failed=1
    fi
  done
done

# bilinear (every test rejects) against white (none does): the pairs outlined
# at p < 0.05 and 0.01 over both planes, as the tool counts them, and the
# pixels of the 1 % outline's colour in the pictures.
"$python" - "$work/pictures" "$work/pictures.txt" <<'EOF' || failed=1
import re, sys
import matplotlib.image
import numpy as np

folder, listing = sys.argv[1], open(sys.argv[2]).read()

def outlined(stem, level):
    return sum(int(n) for n in re.findall(rf"/{stem}-k3[+-]_plane\.png: .*?(\d+) pairs outlined at p < {level}\b", listing))

def green_pixels(stem):
    total = 0
    for sign in "+-":
        image = matplotlib.image.imread(f"{folder}/{stem}-k3{sign}_plane.png")[..., :3]
        total += int((np.abs(image - np.array([0x2c, 0xa0, 0x2c]) / 255).max(axis=-1) < 0.08).sum())
    return total

counts = {stem: (outlined(stem, "0.05"), outlined(stem, "0.01"), green_pixels(stem)) for stem in ("bilinear", "white")}
print("outlined at 5 %, at 1 %, pixels of the 1 % outline:", counts)
(b5, b1, bpx), (w5, w1, wpx) = counts["bilinear"], counts["white"]
problems = []
if not (b5 >= 10 and b5 >= 4 * max(w5, 1)):
    problems.append(f"bilinear outlines {b5} pairs at 5 %, white {w5}: not clearly more")
if not (b1 >= 5 and w1 <= 2):
    problems.append(f"at 1 %: bilinear {b1}, white {w1}")
if not bpx > 10 * wpx:
    problems.append(f"pixels of the 1 % outline: bilinear {bpx}, white {wpx}")
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
EOF

# A folder without runs is refused.
mkdir -p "$work/empty"
if "$python" "$here/plot_planes.py" "$work/empty" 2>/dev/null; then
  echo "an empty folder was accepted"
  failed=1
fi
# A report without its JSON (a run that stopped) is an error, the others are drawn.
mkdir -p "$work/stopped"
cp "$work/white_quorvel.json" "$work/white_Quorvel.out" "$work/bilinear_Quorvel.out" "$work/stopped/"
if "$python" "$here/plot_planes.py" "$work/stopped" >/dev/null 2>&1 || [ ! -s "$work/stopped/white-k3+_plane.png" ]; then
  echo "a run without its JSON was not reported, or stopped the others"
  failed=1
fi
exit $failed
