#!/usr/bin/env bash
# Installs the project into a temporary prefix and, from a temporary folder
# with nothing but the prefix in reach, checks what users get: the man page
# (naming the test subcommand), the documentation, and the examples, which
# the installed `ticket2dict test` passes on a copy of them.
#
# Usage: installed_kit.sh BUILD_DIR WITH_MAN_PAGE(ON|OFF)
set -euo pipefail
build=$1
with_man_page=$2

# The documentation installed under share/doc/ticket2dict.
docs="README.md host-program.md bad-input.md task-file.md task-file.schema.json messages.md report-typical.png"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$work"
failed=0
fail() { echo "FAIL: $*" >&2; failed=$((failed + 1)); }

man_page="$prefix/share/man/man1/ticket2dict.1"
if [ "$with_man_page" = ON ]; then
  if [ ! -f "$man_page" ]; then
    fail "no man page $man_page"
  elif ! head -n 20 "$man_page" | grep -q '^\.TH TICKET2DICT "1"'; then
    fail "$man_page is not a man page of section 1"
  elif command -v man >/dev/null; then
    MANWIDTH=100 man -l "$man_page" 2>/dev/null > "$work/man.txt" || true
    grep -q 'ticket2dict test \[OPTIONS\] PATH' "$work/man.txt" || fail "man -l $man_page shows no test subcommand"
  else
    grep -q '^\.SS test' "$man_page" || fail "$man_page has no test subcommand"
  fi
else
  echo "the build made no man page (help2man missing): not checked"
fi

for doc in $docs; do
  [ -s "$prefix/share/doc/ticket2dict/$doc" ] || fail "no $doc in $prefix/share/doc/ticket2dict"
done

examples="$prefix/share/ticket2dict/examples"
mkdir copy
cp "$examples"/cip3.json "$examples"/cip3.expected.json "$examples"/typical.json "$examples"/typical.expected.json copy/
cp -R "$examples"/cip3-ipl copy/
[ -f "$examples/flavour/task.expected.json" ] || fail "the flavour example is not installed"
status=0
env -u QX_SERVER "$prefix/bin/ticket2dict" test copy > "$work/test.out" 2>&1 || status=$?
if [ "$status" != 0 ] || [ "$(tail -n 1 "$work/test.out")" != "2 passed, 0 failed" ]; then
  fail "the installed ticket2dict test on the installed examples gave exit code $status:"
  cat "$work/test.out" >&2
fi
if ls copy/cip3-ipl | grep -q 'C7\.'; then fail "copies of the CIP3 templates stayed: $(ls copy/cip3-ipl)"; fi

if [ "$failed" != 0 ]; then exit 1; fi
echo "installed kit: man page, documentation and examples checked"
