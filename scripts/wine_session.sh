# Shared by scripts/start.sh and bench/ui_bench.sh (source it from the repository root): the win64
# program and its driver, a sample tree, and a wine prefix under build/ in which the program sees
# that tree as drive D: and nothing of the host beyond it.

# The program folder put into the prefix: the win64 build's, or LVX_WIN64_APP (another build's
# app folder, e.g. one of a branch to be measured; then only the driver is built here).
lvx_app_dir() {
  realpath "${LVX_WIN64_APP:-build/win64/app}"
}

# lvx_build_win64: lumivex.exe and lvx_drive.exe (build/win64).
lvx_build_win64() {
  cmake --preset win64 >/dev/null
  if [ -n "${LVX_WIN64_APP:-}" ]; then
    cmake --build build/win64 -j2 --target lvx_drive
  else
    cmake --build build/win64 -j2 --target lumivex lvx_drive
  fi
}

# lvx_sample_tree DIR ENTRIES: the project's sample tree, made once.
lvx_sample_tree() {
  if [ ! -d "$1" ]; then
    mkdir -p "$(dirname "$1")"
    python3 scripts/make_tree.py "$1" --entries "$2" --seed 1
  fi
}

# lvx_prefix PREFIX TREE: exports the wine environment of PREFIX (made on first use, ~10 s), puts
# the program at C:\Lumivex and its driver at C:\lvx_drive, and maps D: to TREE. Every other drive
# goes: wine maps Z: to the host's root, which the program must never see. Sets lvx_tree_changed=1
# when D: pointed elsewhere before (the cache of the old tree is of no use then).
lvx_prefix() {
  local prefix tree link
  prefix=$(realpath -m "$1")
  tree=$(realpath "$2")
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
  # No dialogs offering to install Mono or Gecko: the program needs neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -d "$WINEPREFIX/drive_c" ]; then
    echo "Making the wine prefix $WINEPREFIX (first time only)..."
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  test -d "$WINEPREFIX/drive_c" || { echo "wine could not make $WINEPREFIX" >&2; return 1; }
  for link in "$WINEPREFIX"/dosdevices/*; do
    case "$(basename "$link")" in
      c:|d:) ;;
      *) rm -f "$link" ;;
    esac
  done
  # The user's shell folders (Desktop, Documents, ...) are links into the host's home: plain
  # folders instead.
  find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type l 2>/dev/null | while read -r link; do
    rm -f "$link" && mkdir -p "$link"
  done
  lvx_tree_changed=0
  [ "$(readlink "$WINEPREFIX/dosdevices/d:" 2>/dev/null)" = "$tree" ] || lvx_tree_changed=1
  ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
  ln -sfn "$tree" "$WINEPREFIX/dosdevices/d:"
  ln -sfn "$(lvx_app_dir)" "$WINEPREFIX/drive_c/Lumivex"
  ln -sfn "$PWD/build/win64/bench/ui" "$WINEPREFIX/drive_c/lvx_drive"
  for link in "$WINEPREFIX"/dosdevices/*; do
    case "$(realpath "$link")" in
      /|"$HOME"|"$(realpath "$HOME")") echo "refusing: $link maps the host's root or home" >&2; return 1 ;;
    esac
  done
}

lvx_exe='C:\Lumivex\lumivex.exe'

# lvx_drive VERB ARGS...: the driver (bench/ui/lvx_drive.cpp) inside the prefix.
lvx_drive() {
  (cd "$WINEPREFIX/drive_c" && wine 'C:\lvx_drive\lvx_drive.exe' "$@")
}

# lvx_end_wine: waits for the prefix's processes and its wine server to end (after the program was
# closed), so that nothing stays attached to a virtual display that goes away.
lvx_end_wine() {
  timeout 30 wineserver -w || wineserver -k
}
