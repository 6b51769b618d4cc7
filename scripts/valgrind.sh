#!/usr/bin/env bash
# Runs the core and CLI test executables under valgrind memcheck (a plain
# Debug build: valgrind and the sanitizers do not mix). The CLI tests start
# vem-cli, which is followed into. Any memory error or definite leak fails.
# Usage: scripts/valgrind.sh [TEST-NAME-REGEX]   (default: every test_*)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/valgrind
jobs=$(nproc)
filter=${1:-.}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVEM_BUILD_UI=OFF -DVEM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

mapfile -t tests < <(find "$build/tests" -maxdepth 1 -type f -executable -name 'test_*' | sort | grep -E "$filter")
[ ${#tests[@]} -gt 0 ] || { echo "no test executables found" >&2; exit 1; }
failed=0
for t in "${tests[@]}"; do
  name=$(basename "$t")
  log=$PWD/$build/$name.valgrind.log
  start=$SECONDS
  if valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
      --suppressions="$PWD/scripts/valgrind.supp" \
      --show-leak-kinds=definite --trace-children=yes \
      --log-file="$log.%p" "$t" --gtest_brief=1 >"$log" 2>&1; then
    echo "   clean  $name ($((SECONDS - start)) s)"
  else
    echo "   FAILED $name (see $log*)"
    grep -h -A20 -E "Invalid|uninitialised|definitely lost|Mismatched" "$log".* 2>/dev/null | head -60 || tail -20 "$log"
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "valgrind: all clean"
exit $failed
