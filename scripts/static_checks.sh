#!/usr/bin/env bash
# Static checks of the engine (core/): a build with -Wall -Wextra -Wconversion
# -Wshadow -Werror, clang-tidy (checks in .clang-tidy) and cppcheck. Any
# report fails the run; a report judged harmless is silenced at its line with
# a comment saying why.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/static
jobs=$(nproc)

echo "== strict warnings"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEM_STRICT=ON \
  -DVEM_BUILD_UI=OFF -DVEM_BUILD_TESTS=OFF -DVEM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target vem_core

echo "== clang-tidy"
run-clang-tidy-14 -p "$build" -j "$jobs" -quiet "$PWD/core/.*\\.cpp" >"$build/clang-tidy.log" 2>&1 || true
if grep -qE "(warning|error):" "$build/clang-tidy.log"; then
  sed "s/\x1b\[[0-9;]*m//g" "$build/clang-tidy.log" | grep -E "(warning|error):" | sort -u
  echo "clang-tidy: reports above" >&2
  exit 1
fi
echo "   clean"

echo "== cppcheck"
# useStlAlgorithm is left out: it asks for std::transform in place of the
# plain loops that the pixel code keeps on purpose.
cppcheck --enable=warning,style,performance,portability --suppress=useStlAlgorithm \
  --std=c++20 --language=c++ --inline-suppr --error-exitcode=1 --quiet -j "$jobs" -I . core/
echo "   clean"
echo "static checks: clean"
