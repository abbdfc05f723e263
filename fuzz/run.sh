#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan and runs each named target for SECONDS
# (default 60): cache_reader_fuzz from seed files made by a real build, zip_reader_fuzz and
# xml_reader_fuzz from the program's own user-interface archive and layout. Without target names
# all three run, one after another.
#   bash fuzz/run.sh [SECONDS] [TARGET...]
# With LVX_FUZZ_RUNS=N each target runs for N executions instead of SECONDS. One job each, and the
# final statistics (executions, corpus) are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(cache_reader_fuzz zip_reader_fuzz xml_reader_fuzz)
cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLVX_BUILD_FUZZ=ON -DLVX_BUILD_TESTS=OFF -DLVX_BUILD_BENCH=OFF \
  -DLVX_SANITIZE=address,undefined >/dev/null
extra=(lvx_skin_archive)
[[ " ${targets[*]} " != *" cache_reader_fuzz "* ]] || extra+=(lvx)
cmake --build build/fuzz -j2 --target "${targets[@]}" "${extra[@]}"

for target in "${targets[@]}"; do
  corpus=build/fuzz/corpus-$target
  if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    case $target in
      cache_reader_fuzz)
        mkdir -p build/fuzz/tree/a/b
        : >build/fuzz/tree/a/one.txt
        : >build/fuzz/tree/a/b/two.txt
        build/fuzz/src/cli/lvx build "$corpus/seed.db" --drives 0x4 --map C=build/fuzz/tree 2>/dev/null
        # The seed is mostly zero bytes up to the first block: keep a compact copy too.
        head -c 2048 "$corpus/seed.db" >"$corpus/header-only.db" ;;
      zip_reader_fuzz)
        cp build/fuzz/skins/default.zip "$corpus/" ;;
      xml_reader_fuzz)
        cp resources/skin/AppMain.xml "$corpus/" ;;
    esac
  fi
  case $target in
    cache_reader_fuzz) max_len=200000 ;;
    *) max_len=16384 ;;
  esac
  if [ -n "${LVX_FUZZ_RUNS:-}" ]; then limit=(-runs="$LVX_FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  "build/fuzz/fuzz/$target" "${limit[@]}" -print_final_stats=1 -max_len="$max_len" "$corpus"
  echo "$target: corpus of $(ls "$corpus" | wc -l) inputs, $(du -sk "$corpus" | cut -f1) KB"
done
