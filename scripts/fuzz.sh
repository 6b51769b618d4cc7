#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer, replays every kept finding
# and seed, then fuzzes each target for SECONDS (default 60), one at a time.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# A crash leaves its input in build/fuzz/artifacts/<target>/ and fails the run.
# The growing corpus lives in build/fuzz/corpus/<target>/ and is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_bmp fuzz_icon fuzz_wmf fuzz_emf fuzz_inttext fuzz_grower)

build=build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S fuzz -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

# Allocations over 64 MiB fail as on a machine short of memory: the readers
# then raise EOutOfMemory, and the fuzzer does not spend its time poisoning
# the shadow of gigabyte blocks that a 60-byte header asked for.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=64
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

seeds_of() {
  echo "fuzz/corpus/$1"
  if [ "$1" = fuzz_bmp ]; then
    echo tests/data/bmpsuite/g tests/data/bmpsuite/q tests/data/bmpsuite/b tests/data/bmpsuite/x
  fi
}

for t in "${targets[@]}"; do
  bin=$build/$t
  echo "== $t: replaying kept findings and seeds"
  mapfile -t inputs < <(find tests/data/findings/$t $(seeds_of "$t") -type f ! -name '*.md' 2>/dev/null | sort)
  "$bin" -runs=1 "${inputs[@]}" >"$build/$t.replay.log" 2>&1 || {
    tail -40 "$build/$t.replay.log"
    echo "$t: a kept finding or seed fails" >&2
    exit 1
  }
  echo "   ${#inputs[@]} inputs replayed"

  echo "== $t: fuzzing for $seconds s"
  mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
  max_len=4096
  [ "$t" = fuzz_inttext ] && max_len=64
  dict=()
  [ "$t" = fuzz_bmp ] && dict=(-dict=fuzz/bmp.dict)
  # shellcheck disable=SC2046
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -max_len=$max_len "${dict[@]}" \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
    "$build/corpus/$t" $(seeds_of "$t") >"$build/$t.log" 2>&1 || {
    tail -60 "$build/$t.log"
    echo "$t: finding in $build/artifacts/$t/" >&2
    exit 1
  }
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$build/$t.log" | sed 's/^/   /'
done
echo "fuzzing: all targets clean"
