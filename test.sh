#!/usr/bin/env bash
# Builds everything and runs every test: once normally, once under AddressSanitizer and
# UndefinedBehaviorSanitizer (all but the GUI tests), then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${QUILLMAR_FUZZ_SECONDS:-30}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_ctest() {  # run_ctest NAME BUILD_DIR [ctest args...]
  local name=$1 dir=$2
  shift 2
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$logs/$name.log"
  return "${PIPESTATUS[0]}"
}

echo "== Build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
echo "== Tests"
run_ctest plain build --timeout 300

echo "== Build (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMAR_SANITIZE=ON \
  -DQUILLMAR_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
echo "== Tests under sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_ctest asan build-asan --timeout 600 -LE gui

fuzzers=0
if ls fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  echo "== Build (libFuzzer)"
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DQUILLMAR_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for src in fuzz/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    corpus="$logs/corpus-$name"
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    echo "== Fuzzing $name for ${fuzz_seconds} s"
    if ! "build-fuzz/fuzz/$name" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" >"$logs/$name.fuzz.log" 2>&1; then
      tail -n 60 "$logs/$name.fuzz.log"
      echo "fuzz: $name found a crash or sanitizer report"
      exit 1
    fi
    grep -E '^stat::number_of_executed_units' "$logs/$name.fuzz.log" || true
    fuzzers=$((fuzzers + 1))
  done
fi

# One closing line over both test runs and the fuzzers.
passed=0
for log in "$logs"/plain.log "$logs"/asan.log; do
  n=$(sed -nE 's/.*tests passed, 0 tests failed out of ([0-9]+).*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${n:-0}))
done
echo "all: $((passed + fuzzers)) passed, 0 failed"
