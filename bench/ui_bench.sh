#!/usr/bin/env bash
# The UI benchmark: lumivex.exe under wine on a virtual display, steered by lvx_drive
# (bench/ui/ui_measure.cpp says what is timed), on a sample tree as its only drive D:.
# Prints each figure with its goal as a ratio; the baseline is the engine's own search time, which
# the program reports in its status line in the same run.
# Usage: bash bench/ui_bench.sh [ENTRIES]   (default 100,000 for a quick run; the goals are set for
#        1,000,000, whose tree takes about a minute to make and whose cache a few minutes to build)
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-100000}
source scripts/wine_session.sh
lvx_build_win64
lvx_sample_tree "build/bench/tree-$entries" "$entries"
# A prefix of its own, so that the start script's cache and settings stay as they are.
lvx_prefix build/bench/wineprefix "build/bench/tree-$entries"
echo "=== ui_bench: $entries entries on D:"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -uo pipefail
  source scripts/wine_session.sh
  lvx_drive prepare "$lvx_exe" D --headless --fresh-cache >/dev/null || exit 1
  code=1
  if lvx_drive start "$lvx_exe" --wait-cache 3600; then
    lvx_drive bench
    code=$?
  fi
  lvx_drive close 120
  lvx_end_wine
  exit $code'
