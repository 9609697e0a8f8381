#!/usr/bin/env bash
# Packs BUILD_DIR with scripts/package (which fails on lintian errors), then
# unpacks the .deb with dpkg -x and runs the programs from there, and installs
# and purges it in a scratch root.
# usage: check_package.sh SOURCE_DIR BUILD_DIR WORK_DIR
# LM_PACKAGE_TREE names a tree to pack instead of BUILD_DIR: scripts/test
# sets it to the package's own build (tests off), built beside the tests.
set -uo pipefail
src=$1 build=${LM_PACKAGE_TREE:-$2} work=$3
rm -rf "$work"
mkdir -p "$work"
if [ -n "${LM_PACKAGE_TREE:-}" ] && ! grep -qx 'LM_TESTS:BOOL=OFF' "$build/CMakeCache.txt"; then
  echo "FAIL: $build is not the package's tree (configured with its tests)"
  exit 1
fi
"$src/scripts/package" --prebuilt "$build" --out "$work" || { echo "FAIL: scripts/package"; exit 1; }
deb=$(ls "$work"/*.deb)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dpkg-deb -c "$deb" >"$work/contents.txt"
grep -Eq 'selftest|test-gui' "$work/contents.txt" && fail "the package holds self-test files"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -q 'libwebkit2gtk-4.1-0' <<<"$depends" || fail "Depends lacks libwebkit2gtk-4.1-0"
grep -q 'fonts-noto-cjk' <<<"$depends" || fail "Depends lacks fonts-noto-cjk, the page's font"

root=$work/root
dpkg -x "$deb" "$root"
list=$(env -u LD_LIBRARY_PATH "$root/usr/bin/linkmeter-cli" --list) || fail "linkmeter-cli --list failed"
grep -qx 'ComOpen' <<<"$list" || fail "linkmeter-cli --list does not list ComOpen"
help=$(env -u LD_LIBRARY_PATH "$root/usr/bin/linkmeter" --help 2>&1) || fail "linkmeter --help failed: $help"
grep -q -- '--version' <<<"$help" || fail "linkmeter --help does not mention --version"

# Install and remove with dpkg into a scratch root whose package database is
# a copy of this machine's, so Depends must be satisfied and nothing may stay
# behind after the purge.
sysroot=$work/sysroot
mkdir -p "$sysroot/var/lib/dpkg/info" "$sysroot/var/lib/dpkg/updates"
cp /var/lib/dpkg/status "$sysroot/var/lib/dpkg/status"
if dpkg --root="$sysroot" --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1; then
  env -u LD_LIBRARY_PATH "$sysroot/usr/bin/linkmeter-cli" --version >/dev/null || fail "installed linkmeter-cli does not start"
  # A whole-site survey of the demo site from the installed path (5: some
  # demo units stay silent), its records in a scratch home; the monitor's unit.
  survey=$(env -u LD_LIBRARY_PATH HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
             "$sysroot/usr/bin/linkmeter-cli" --demo survey --site --probes 1 2>&1)
  status=$?
  { [ "$status" = 0 ] || [ "$status" = 5 ]; } && grep -Eq '^[0-9]+ of 20 units answered' <<<"$survey" ||
    fail "installed linkmeter-cli --demo survey --site (status $status): $survey"
  bash "$(dirname "$0")/check_monitor_unit.sh" "$sysroot/usr" /usr/bin || fail "the monitor's systemd unit in the package"
  dpkg --root="$sysroot" --log=/dev/null --purge linkmeter >>"$work/dpkg.log" 2>&1 || fail "dpkg --purge failed (see $work/dpkg.log)"
  left=$(find "$sysroot" -mindepth 1 -not -path "$sysroot/var" -not -path "$sysroot/var/lib" -not -path "$sysroot/var/lib/dpkg*")
  [ -z "$left" ] || fail "left after the purge: $left"
else
  grep -v 'files list file' "$work/dpkg.log"
  fail "dpkg -i failed"
fi

[ "$failures" -eq 0 ] && echo "package ok" || exit 1
