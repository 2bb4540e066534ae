#!/usr/bin/env bash
# Runs a Python script with any Python 3; exit 77 (skipped) when there is none.
here="$(cd "$(dirname "$0")" && pwd)"
python="$(bash "$here/find_python.sh")" || { echo "no python3: skipped"; exit 77; }
exec "$python" "$@"
