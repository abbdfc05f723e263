#!/bin/sh
# The installer test: the portable zip holds exactly the files the install list names in the build's
# program folder; then installer_test runs the setup and the uninstaller in a fresh wine prefix.
# Arguments: program folder, install list, zip, file to write the expected list to, wine prefix,
# installer_test.exe.
set -eu
app_dir=$1 list=$2 zip=$3 expected=$4 prefix=$5 driver=$6

fail() { echo "installer test: $*" >&2; exit 1; }

# The install list read on its own: each entry expanded in the program folder.
: >"$expected.unsorted"
while read -r entry flag; do
  case "$entry" in ''|'#'*) continue ;; esac
  found=0
  for path in "$app_dir"/$entry; do
    [ -f "$path" ] || continue
    echo "${path#"$app_dir"/}" >>"$expected.unsorted"
    found=1
  done
  [ $found = 1 ] || [ "$flag" = optional ] || fail "'$entry' of the install list is not in $app_dir"
done <"$list"
LC_ALL=C sort "$expected.unsorted" >"$expected"
rm -f "$expected.unsorted"

[ -s "$zip" ] || fail "no $zip"
cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^Lumivex/||' | LC_ALL=C sort >"$expected.zip"
diff "$expected" "$expected.zip" >&2 || fail "the zip's files (>) differ from the install list's (<)"
rm -f "$expected.zip"
echo "installer test: the zip holds the $(wc -l <"$expected") files of the install list"

# A prefix of its own, made anew: no Mono or Gecko prompts.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
# Drive T: is a small folder of the test's own, the only drive the installed program caches: C: of a
# prefix reaches into the home folder.
rm -rf "$prefix-drive-t"
mkdir -p "$prefix-drive-t"
ln -sfn "$prefix-drive-t" "$prefix/dosdevices/t:"
status=0
wine "$driver" --gtest_brief=1 || status=$?
# Whatever the cases left running in this prefix ends with it.
wineserver -k 2>/dev/null || true
exit $status
