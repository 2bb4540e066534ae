#!/usr/bin/env bash
# Prints a Python 3 interpreter that can import the given modules (none:
# any Python 3), or nothing. Debian's python3-matplotlib lives with
# /usr/bin/python3, which a python3 earlier on the PATH may not see.
for candidate in python3 /usr/bin/python3 /usr/local/bin/python3; do
  command -v "$candidate" >/dev/null 2>&1 || continue
  if "$candidate" -c "import sys; [__import__(m) for m in sys.argv[1:]]" "$@" >/dev/null 2>&1; then
    command -v "$candidate"
    exit 0
  fi
done
exit 1
