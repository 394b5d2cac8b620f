#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build-fuzz/) and runs each one on its
# seed corpus (fuzz/corpus/<target>/) plus a working corpus in
# build-fuzz/corpus/<target>/ that keeps what earlier runs found.
#
#   tools/fuzz.sh RUNS [TARGET...]        every (or the named) target for RUNS executions
#   tools/fuzz.sh --time SECONDS [TARGET...]  every (or the named) target for SECONDS each
#
# A finding stops the run with a non-zero status; the input that caused it
# is written to build-fuzz/findings/<target>/. Extra libFuzzer flags can be
# passed in T2D_FUZZ_FLAGS (e.g. T2D_FUZZ_FLAGS="-jobs=1 -workers=1").
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
jobs="${T2D_JOBS:-2}"
targets_all=(fuzz_conversion fuzz_extra_options fuzz_resource_db fuzz_template_names fuzz_json_scanner)

usage() { echo "usage: tools/fuzz.sh RUNS|--time SECONDS [TARGET...]" >&2; exit 2; }
[ $# -ge 1 ] || usage
if [ "$1" = "--time" ]; then
  [ $# -ge 2 ] || usage
  limit=(-max_total_time="$2"); shift 2
else
  limit=(-runs="$1"); shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${targets_all[@]}")

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DT2D_BUILD_FUZZ=ON -DT2D_BUILD_TESTS=OFF -DT2D_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  work="$root/build-fuzz/corpus/$target"
  findings="$root/build-fuzz/findings/$target"
  mkdir -p "$work" "$findings"
  echo "== $target (${limit[*]})"
  # -close_fd_mask=1: the converter's traces on standard output are noise here.
  # shellcheck disable=SC2086
  "$root/build-fuzz/fuzz/$target" "${limit[@]}" -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$findings/" ${T2D_FUZZ_FLAGS:-} "$work" "$root/fuzz/corpus/$target"
done
echo "fuzzing: no findings"
