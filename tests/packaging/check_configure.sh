#!/usr/bin/env bash
# Configures the source tree in each of the ways it is built besides the test
# build: the package's (tests and benchmarks off) and, in unity batches,
# with a folder left out. Configuring only: a few seconds each.
# usage: check_configure.sh SOURCE_DIR WORK_DIR
set -uo pipefail
src=$1 work=$2
configurations=(
  "-DLM_TESTS=OFF -DLM_BENCH=OFF"
  "-DLM_SKIP_DIRS=tests/records/sync -DCMAKE_UNITY_BUILD=ON"
)
rm -rf "$work"
mkdir -p "$work"
failures=0
for i in "${!configurations[@]}"; do
  read -r -a options <<<"${configurations[$i]}"
  if ! cmake -S "$src" -B "$work/$i" -G Ninja "${options[@]}" >"$work/$i.log" 2>&1; then
    echo "FAIL: cmake ${configurations[$i]}"
    grep -A4 'CMake Error' "$work/$i.log" | head -20
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
rm -rf "$work"
echo "every configuration ok"
