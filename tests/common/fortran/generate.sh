#!/bin/sh
# Regenerates the expected records of the record I/O tests with the Fortran
# runtime (gfortran). The expected files are checked in, so the tests do not
# need a Fortran compiler.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gfortran -O0 -o "$work/write_records" "$here/write_records.f90"
gfortran -O0 -o "$work/read_records" "$here/read_records.f90"
"$work/write_records" < "$here/write_cases.txt" > "$data/write_expected.txt"
(cd "$work" && ./read_records < "$here/read_cases.txt") > "$data/read_expected.txt"
echo "wrote $data/write_expected.txt and $data/read_expected.txt"
