#!/usr/bin/env bash
# Builds Lumivex and starts it under wine: lumivex.exe in a wine prefix of its own (build/wineprefix)
# whose drive D: is a sample tree (scripts/make_tree.py) and which maps nothing else of the host; the
# program caches D: only. With a display the window opens and stays; without one ($DISPLAY empty) the
# program runs on a virtual display, builds its cache, searches once, leaves a screenshot and ends.
# Usage: bash scripts/start.sh [ENTRIES]    (sample tree size, default 20,000; or LVX_ENTRIES)
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-${LVX_ENTRIES:-20000}}
shot=build/screenshots/start.png
pattern='*.mp3'

bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build build/native -j2 --target lvx
source scripts/wine_session.sh
lvx_build_win64
lvx_sample_tree "build/sample/tree-$entries" "$entries"
echo "lvx, the engine's front end, works on the same tree natively:"
echo "  build/native/src/cli/lvx build build/sample/lumivex.db --drives 0x8 --map D=build/sample/tree-$entries"
lvx_prefix build/wineprefix "build/sample/tree-$entries"
echo "Drives of the prefix:"
ls -l "$WINEPREFIX/dosdevices"

if [ -n "${DISPLAY:-}" ]; then
  fresh=()
  [ "$lvx_tree_changed" = 1 ] && fresh=(--fresh-cache)
  # The program and wine's own processes outlive this script: they get a log file, not its output,
  # so that a pipe reading the script ends with it.
  log=build/wineprefix-start.log
  if ! { lvx_drive prepare "$lvx_exe" D "${fresh[@]}" && lvx_drive start "$lvx_exe"; } </dev/null >"$log" 2>&1; then
    cat "$log"
    exit 1
  fi
  cat "$log"
  echo "Lumivex runs (drive D: is build/sample/tree-$entries). Leave it with File > Exit, or:"
  echo "  WINEPREFIX=$WINEPREFIX wine 'C:\\lvx_drive\\lvx_drive.exe' close"
  exit 0
fi

# No display: one run on a virtual one, from a fresh cache, without the welcome. Every wine process
# runs on that display (the first one starts the prefix's desktop on it).
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
export shot pattern
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -uo pipefail
  source scripts/wine_session.sh
  lvx_drive prepare "$lvx_exe" D --headless --fresh-cache || exit 1
  lvx_drive start "$lvx_exe" --wait-cache 600 || { lvx_drive close; lvx_end_wine; exit 1; }
  echo "Searching for $pattern:"
  lvx_drive search "$pattern" 120 || echo "(the window gave no search outcome)"
  sleep 1
  geometry=$(lvx_drive geometry | tr -d "\r")
  import -window root -crop "$geometry" +repage "$shot" || import -window root "$shot"
  lvx_drive close 60
  lvx_end_wine'
test -s "$shot"
echo "Screenshot: $PWD/$shot"
