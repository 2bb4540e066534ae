#!/usr/bin/env bash
# Assembles the R package as a self-contained source package: the R sources
# of r/, the library's C++ sources beneath the bindings (not the batch driver
# or the command line) and the example series its tests read, then builds
# quorvel_<version>.tar.gz with R CMD build.
#
#   tools/build_r_package.sh [OUTDIR]     (default: build/r-package)
#
# Prints the path of the tarball. R CMD INSTALL of it needs R, Rcpp and a
# C++20 compiler and nothing else of this project.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$root/build/r-package}" && cd "${1:-$root/build/r-package}" && pwd)"
pkg="$out/quorvel"

rm -rf "$pkg"
mkdir -p "$pkg"
cp -R "$root/r/." "$pkg/"
rm -f "$pkg/src/Makevars" "$pkg/src/"*.o "$pkg/src/"*.so

# The library's layers, each in a folder of its own as in the source tree,
# so that their includes ("common/units.hpp") resolve as there.
for layer in common readers stats ar engine report pipeline library; do
  mkdir -p "$pkg/src/quorvel/$layer"
  cp "$root/src/$layer/"*.cpp "$root/src/$layer/"*.hpp "$pkg/src/quorvel/$layer/"
done
mkdir -p "$pkg/inst/include/quorvel"
cp "$root/include/quorvel/quorvel.hpp" "$pkg/inst/include/quorvel/"

# The example series of the tests and the manual's examples.
mkdir -p "$pkg/inst/extdata"
for stem in white bilinear sunspots; do
  cp "$root/examples/batch/$stem.dat" "$root/examples/batch/$stem.cnl" "$pkg/inst/extdata/"
done

R="${R:-R}"
(cd "$out" && rm -f quorvel_*.tar.gz && "$R" CMD build --no-build-vignettes --no-manual quorvel >build.log 2>&1) || {
  cat "$out/build.log" >&2
  exit 1
}
ls "$out"/quorvel_*.tar.gz
