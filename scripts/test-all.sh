#!/usr/bin/env bash
# Builds every preset and runs every test: native-asan (AddressSanitizer and UndefinedBehaviorSanitizer)
# all of them, native-tsan (ThreadSanitizer) the tests labelled "threads", win64 under wine (with a
# virtual display), win32 (the release target) compiled and linked only. The presets say what each
# step builds and runs; build/native, the plain build that scripts/start.sh uses, is left alone.
# Ends with one summary line over the three test runs.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

step() { printf '\n=== %s\n' "$*"; }
fail() { echo "test-all: $*" >&2; echo "0 passed, 1 failed"; exit 1; }

for preset in native-asan native-tsan win64 win32; do
  step "$preset: configure and build"
  cmake --preset "$preset" >/dev/null || fail "$preset configure failed"
  cmake --build --preset "$preset" -j"$jobs" || fail "$preset build failed"
done

step "native-asan tests"
ctest --preset native-asan -j"$jobs" 2>&1 | tee build/native-asan/ctest.log
step "native-tsan tests (label threads)"
ctest --preset native-tsan -j"$jobs" 2>&1 | tee build/native-tsan/ctest.log
step "win64 tests under wine"
# A fresh wine prefix per run, made by the first test.
rm -rf build/win64/wineprefix
xvfb-run -a ctest --preset win64 2>&1 | tee build/win64/ctest.log

passed=0
failed=0
for log in build/native-asan/ctest.log build/native-tsan/ctest.log build/win64/ctest.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    continue
  fi
  f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
done
echo
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
