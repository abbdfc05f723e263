#!/usr/bin/env bash
# Builds Lumivex and starts it. Until the main window exists, "starting" means the engine's own front
# end: lvx builds the cache of a sample tree (scripts/make_tree.py, drive C: mapped to it) and looks a
# few things up in it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build build/native -j"$(nproc)" --target lvx
sample=build/sample
if [ ! -d "$sample/tree" ]; then
  python3 scripts/make_tree.py "$sample/tree" --entries 20000 --seed 1
fi
lvx=build/native/src/cli/lvx
"$lvx" build "$sample/lumivex.db" --drives 0x4 --map "C=$sample/tree" 2>&1 | tail -1
"$lvx" dump "$sample/lumivex.db" >"$sample/dump.txt"
head -20 "$sample/dump.txt"
echo "... ($(tail -1 "$sample/dump.txt"))"
"$lvx" find "$sample/lumivex.db" 'C:\Windows'
echo
echo "Searching for *.mp3:"
"$lvx" search "$sample/lumivex.db" '*.mp3' --sort size >"$sample/mp3.txt"
head -5 "$sample/mp3.txt"
echo
echo "The cache is $sample/lumivex.db; try: $lvx search $sample/lumivex.db report --sort date"
echo "or keep it current while you change the tree: $lvx watch $sample/lumivex.db --map C=$sample/tree"
