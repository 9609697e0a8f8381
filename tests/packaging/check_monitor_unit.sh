#!/usr/bin/env bash
# Checks the monitor's systemd user unit as installed under PREFIX: its
# ExecStart runs BINDIR/linkmeter-cli monitor for the instance, no password
# is on its command line, and systemd itself reads it without complaint
# (a copy pointed at this tree's linkmeter-cli, when the tree was moved).
# usage: check_monitor_unit.sh PREFIX BINDIR
set -uo pipefail
prefix=$1 bindir=$2
unit=$prefix/lib/systemd/user/linkmeter-monitor@.service
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$unit" ] || { echo "FAIL: lib/systemd/user/linkmeter-monitor@.service missing"; exit 1; }
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
[ "$exec_start" = "$bindir/linkmeter-cli monitor --unit %i \$LINKMETER_MONITOR_OPTIONS" ] ||
  fail "ExecStart is '$exec_start'"
grep -q '^EnvironmentFile=-%E/linkmeter/monitor-%i.env$' "$unit" || fail "no EnvironmentFile under the user's config folder"
grep -qi 'password' <<<"$exec_start" && fail "a password on the command line"
grep -q '^Type=notify$' "$unit" || fail "not Type=notify: readiness and status come from the monitor"
grep -q '^WatchdogSec=' "$unit" || fail "no WatchdogSec=: a hung round would never be restarted"
[ -x "$prefix/bin/linkmeter-cli" ] || fail "bin/linkmeter-cli missing"

if command -v systemd-analyze >/dev/null; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/run"
  sed "s|^ExecStart=$bindir/|ExecStart=$prefix/bin/|" "$unit" >"$scratch/linkmeter-monitor@.service"
  if ! out=$(cd "$scratch" && XDG_RUNTIME_DIR=$scratch/run timeout 30 \
               systemd-analyze verify --man=no --user ./linkmeter-monitor@009A0011.service 2>&1) || [ -n "$out" ]; then
    fail "systemd-analyze verify: $out"
  fi
  # The hardening holds: the exposure systemd's own analysis gives (9.6
  # "UNSAFE" before it) stays low.
  exposure=$(cd "$scratch" && timeout 30 systemd-analyze security --offline=true ./linkmeter-monitor@009A0011.service 2>&1 |
             sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  echo "systemd-analyze security: exposure $exposure"
  awk -v e="$exposure" 'BEGIN { exit !(e != "" && e + 0 <= 3.0) }' || fail "exposure '$exposure', over 3.0"
fi

[ "$failures" -eq 0 ] && echo "monitor unit ok" || exit 1
