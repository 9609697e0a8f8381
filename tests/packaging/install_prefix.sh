#!/usr/bin/env bash
# Installs the build into a temporary prefix, the self-test component too,
# then moves the prefix: what runs from WORK/moved can rely only on paths
# relative to itself.
# usage: install_prefix.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/staging" >"$work/install.log"
cmake --install "$build" --prefix "$work/staging" --component selftest >>"$work/install.log"
mv "$work/staging" "$work/moved"
echo "installed into $work/staging, moved to $work/moved"
