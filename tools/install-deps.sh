#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian machine: the compilers
# and build tools, the libraries it builds on, the JSON Schema validator that
# checks docs/task-file.schema.json, the XML Schema validator (xmllint) that
# checks the JUnit report of `ticket2dict test`, help2man for the man page, Chromium for
# the report page's test, jq that bench/ratios.py measures against, and the
# German locale that a test of the number formats switches to. Runs apt-get
# as root (or via sudo).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake clang libclang-rt-dev locales \
  nlohmann-json3-dev libsimpleini-dev libcli11-dev libgtest-dev libbenchmark-dev libpugixml-dev libxml2-utils time jq python3-jsonschema help2man \
  chromium >/dev/null
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "dependencies installed"
