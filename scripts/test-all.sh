#!/usr/bin/env bash
# Builds every preset and runs every test: native under AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded tests again under ThreadSanitizer, win64 under wine (with a virtual display), win32 (the
# release target) compiled and linked only.
# Ends with one summary line over both test runs.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

step() { printf '\n=== %s\n' "$*"; }
fail() { echo "test-all: $*" >&2; echo "0 passed, 1 failed"; exit 1; }

step "native (ASan + UBSan): configure and build"
cmake --preset native -DLVX_SANITIZE=address,undefined >/dev/null || fail "native configure failed"
cmake --build build/native -j"$jobs" || fail "native build failed"

step "native-tsan (ThreadSanitizer): the threaded tests"
tsan_tests="indexer_cacher_test indexer_monitor_test search_thread platform_thread_test platform_watch_test"
cmake --preset native-tsan >/dev/null || fail "native-tsan configure failed"
# shellcheck disable=SC2086
cmake --build build/native-tsan -j"$jobs" --target $tsan_tests || fail "native-tsan build failed"

step "win64: configure and build"
cmake --preset win64 >/dev/null || fail "win64 configure failed"
cmake --build build/win64 -j"$jobs" || fail "win64 build failed"

step "win32 (release target): configure and build"
cmake --preset win32 >/dev/null || fail "win32 configure failed"
cmake --build build/win32 -j"$jobs" || fail "win32 build failed"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1
step "native tests"
ctest --test-dir build/native -j"$jobs" --output-on-failure 2>&1 | tee build/native/ctest.log
step "native tests under ThreadSanitizer"
ctest --test-dir build/native-tsan -j"$jobs" --output-on-failure \
  -R "^($(tr ' ' '|' <<<"$tsan_tests"))\$" 2>&1 | tee build/native-tsan/ctest.log
step "win64 tests under wine"
# A fresh wine prefix per run, made by the first test.
rm -rf build/win64/wineprefix
xvfb-run -a ctest --test-dir build/win64 --output-on-failure 2>&1 | tee build/win64/ctest.log

passed=0
failed=0
for log in build/native/ctest.log build/native-tsan/ctest.log build/win64/ctest.log; do
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
