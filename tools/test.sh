#!/usr/bin/env bash
# Builds and runs every test three times: a normal build (build/), a build
# with the address and undefined-behaviour sanitizers (build-asan/) and a
# build with the thread sanitizer (build-tsan/), where the conversions that
# run side by side (the concurrency test, `ticket2dict test -j`) show any
# race.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${T2D_JOBS:-2}"
export T2D_REQUIRE_LOCALE=1

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DT2D_SANITIZE=ON -DT2D_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DT2D_SANITIZE=thread -DT2D_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$jobs"
ctest --test-dir build-tsan --output-on-failure -j"$jobs"

# A short bounded run of every fuzz target (clang, build-fuzz/): a minute
# or two in all, with a fixed seed and a fixed number of executions, so that
# a run on a fresh clone is the same everywhere. tools/fuzz.sh runs them
# longer.
export T2D_FUZZ_FLAGS="-seed=1"
tools/fuzz.sh 30000 fuzz_conversion
tools/fuzz.sh 200000 fuzz_extra_options
tools/fuzz.sh 100000 fuzz_resource_db
tools/fuzz.sh 500000 fuzz_template_names
tools/fuzz.sh 500000 fuzz_json_scanner
