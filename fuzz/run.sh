#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan and runs the cache-file reader target for
# SECONDS (default 60), starting from seed files made by a real build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLVX_BUILD_FUZZ=ON -DLVX_BUILD_TESTS=OFF -DLVX_BUILD_BENCH=OFF \
  -DLVX_SANITIZE=address,undefined >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target cache_reader_fuzz lvx
corpus=build/fuzz/corpus
if [ ! -d "$corpus" ]; then
  mkdir -p "$corpus" build/fuzz/tree/a/b
  : >build/fuzz/tree/a/one.txt
  : >build/fuzz/tree/a/b/two.txt
  build/fuzz/src/cli/lvx build "$corpus/seed.db" --drives 0x4 --map C=build/fuzz/tree 2>/dev/null
  # The seed is mostly zero bytes up to the first block: keep a compact copy too.
  head -c 2048 "$corpus/seed.db" >"$corpus/header-only.db"
fi
build/fuzz/fuzz/cache_reader_fuzz -max_total_time="$seconds" -max_len=200000 "$corpus"
