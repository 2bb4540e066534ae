#!/usr/bin/env bash
# Assembles the R package and runs R CMD check --as-cran on its tarball,
# offline; fails on any ERROR or WARNING and prints every NOTE.
#
#   tools/check_r_package.sh [OUTDIR]     (default: build/r-check)
#
# Offline, the check cannot reach CRAN (the incoming checks and the clock of
# the future-timestamps check are skipped or noted). The PDF manual needs
# LaTeX, which the project does not install: --no-manual. The shared object
# is installed without its debugging information (R builds with -g; the
# symbols the check reads stay), and the warning flags of Debian's own R
# configuration are declared known.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/r-check}"
tarball="$("$root/tools/build_r_package.sh" "$out")"
cd "$out"
rm -rf quorvel.Rcheck
status=0
env _R_CHECK_CRAN_INCOMING_REMOTE_=false _R_CHECK_FORCE_SUGGESTS_=false _R_SHLIB_STRIP_=true \
  R_STRIP_SHARED_LIB="strip --strip-debug" \
  _R_CHECK_COMPILATION_FLAGS_KNOWN_="-Wformat -Werror=format-security -Wdate-time" \
  MAKEFLAGS="${MAKEFLAGS:--j2}" R CMD check --as-cran --no-manual "$tarball" >check.out 2>&1 || status=$?
log=quorvel.Rcheck/00check.log
if [ ! -f "$log" ]; then
  cat check.out
  exit 1
fi
grep -A12 -E "\.\.\. (NOTE|WARNING|ERROR)" "$log" || true
summary="$(grep -E "^Status:" "$log" || echo "Status: unknown")"
echo "R CMD check --as-cran: $summary"
if [ "$status" != 0 ] || grep -qE "WARNING|ERROR|unknown" <<<"$summary"; then
  tail -40 check.out
  exit 1
fi
