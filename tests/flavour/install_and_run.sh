#!/usr/bin/env bash
# Installs the project into a temporary prefix, builds examples/flavour
# against the installed package with a fresh CMake configure, and tests
# examples/flavour/task.json against its expected result with the installed
# `ticket2dict test --flavour` (with --update, writes the expected result
# instead). Also checks that a flavour that can't be loaded, or has no entry
# point, is one line on standard error and exit code 2.
#
# Usage: install_and_run.sh BUILD_DIR SOURCE_DIR [--update] [extra cmake arguments for the flavour...]
set -euo pipefail
build=$1
source=$2
shift 2
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source/examples/flavour" -B "$work/flavour" -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null
cmake --build "$work/flavour" >/dev/null
flavour="$work/flavour/libsample_flavour.so"
program="$work/prefix/bin/ticket2dict"

task="$source/examples/flavour/task.json"
if [ "$update" = 1 ]; then
  env -u QX_SERVER "$program" test "$task" --flavour "$flavour" --update
  exit 0
fi
if ! env -u QX_SERVER "$program" test "$task" --flavour "$flavour"; then
  echo "FAIL: the flavour's result differs from examples/flavour/task.expected.json" >&2
  exit 1
fi

# Loading errors: exit code 2 and one line naming the library.
check_refused() {
  local library=$1 expected_text=$2 status=0
  "$program" run "$source/examples/flavour/task.json" --flavour "$library" >"$work/out" 2>"$work/err" || status=$?
  if [ "$status" != 2 ]; then echo "FAIL: --flavour $library gave exit code $status, not 2" >&2; exit 1; fi
  if [ "$(wc -l <"$work/err")" != 1 ] || ! grep -q -- "$expected_text" "$work/err"; then
    echo "FAIL: --flavour $library: expected one line with '$expected_text', got:" >&2
    cat "$work/err" >&2
    exit 1
  fi
  if [ -s "$work/out" ]; then echo "FAIL: --flavour $library wrote a result" >&2; exit 1; fi
}
check_refused "$work/missing.so" "can't load the flavour"
check_refused "$work/prefix/lib/libqxtypes.so" "not a flavour: it exports no function Ticket2Dict_CreateFlavour"
echo "flavour installed, built and run: 3 passed, 0 failed"
