#!/usr/bin/env bash
# Runs the benchmarks on a generated corpus (default 1,000,000 entries; made once under build/bench by
# scripts/make_tree.py); burst_bench always runs on the 50,000-entry tree its goals are set for.
# Usage: bench/run.sh [ENTRIES] [BENCH...]
#        bench/run.sh --ui [ENTRIES]     the UI benchmark under wine (bench/ui_bench.sh)
# search_bench times lvx search against plocate when both are there (bench builds lvx beside it);
# LVX_BENCH_CACHE=FILE keeps its cache file there between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --ui ]; then
  shift
  exec bash bench/ui_bench.sh "$@"
fi
entries=${1:-1000000}
shift || true
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLVX_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)"
corpus=build/bench/tree-$entries
if [ ! -d "$corpus" ]; then
  python3 scripts/make_tree.py "$corpus" --entries "$entries" --seed 1
fi
benches=("$@")
if [ ${#benches[@]} -eq 0 ]; then
  for b in build/bench/bench/*_bench; do benches+=("$(basename "$b")"); done
fi
for b in "${benches[@]}"; do
  echo "=== $b"
  if [ "$b" = burst_bench ]; then
    # Its goals are set on the 50,000-entry tree, whatever ENTRIES is.
    small=build/bench/tree-50000
    [ -d "$small" ] || python3 scripts/make_tree.py "$small" --entries 50000 --seed 1
    "build/bench/bench/$b" "$small"
  else
    "build/bench/bench/$b" "$corpus"
  fi
done
