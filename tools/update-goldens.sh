#!/bin/sh
# Regenerates every examples/<name>.expected.json and .expected.ini from the
# built ticket2dict, the way the golden tests run it: on a temporary copy of
# the task file and of its data folders (examples/<name>-*/, whose copies of
# the CIP3 templates must not land in the tree), with QX_SERVER unset. The
# temporary folder is written as <tmp>, the host name in the environment
# item "QX_SERVER" as <hostname>.
#
# Usage: tools/update-goldens.sh [PATH/TO/ticket2dict]
#   default: the first of build/host/ticket2dict, build-*/host/ticket2dict
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-}
if [ -z "$program" ]; then
  for candidate in "$root"/build/host/ticket2dict "$root"/build-*/host/ticket2dict; do
    if [ -x "$candidate" ]; then program=$candidate; break; fi
  done
fi
if [ -z "$program" ] || [ ! -x "$program" ]; then
  echo "update-goldens: build ticket2dict first, or pass its path" >&2
  exit 1
fi

host=$(uname -n)
# Escapes a text for use in a sed pattern.
sed_escape() { printf '%s' "$1" | sed 's/[][\\/.*^$]/\\&/g'; }
host_pattern=$(sed_escape "$host")

for task in "$root"/examples/*.json; do
  case $task in *.expected.json) continue ;; esac
  name=$(basename "$task" .json)
  work=$(mktemp -d)
  cp "$task" "$work/"
  for folder in "$root"/examples/"$name"-*; do
    if [ -d "$folder" ]; then cp -R "$folder" "$work/"; fi
  done
  work_pattern=$(sed_escape "$work")
  for format in json ini; do
    if ! env -u QX_SERVER "$program" run "$work/$name.json" --format "$format" -o "$work/result.$format" \
        > "$work/stdout" 2> "$work/stderr"; then
      cat "$work/stderr" >&2
      echo "update-goldens: $name.json failed; nothing written for it" >&2
      rm -rf "$work"
      exit 1
    fi
    sed -e "s/$work_pattern/<tmp>/g" \
        -e "s/{\"key\": \"QX_SERVER\", \"value\": \"$host_pattern\"}/{\"key\": \"QX_SERVER\", \"value\": \"<hostname>\"}/" \
        -e "s/^QX_SERVER=$host_pattern\$/QX_SERVER=<hostname>/" \
        "$work/result.$format" > "$root/examples/$name.expected.$format"
    echo "examples/$name.expected.$format"
  done
  rm -rf "$work"
done
