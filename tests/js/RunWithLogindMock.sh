#!/bin/sh
# Runs a test binary on a private bus that stands in for the system bus, with
# python3-dbusmock's logind template on it. The mock ends with the bus.
set -e
test_binary="$1"
shift
exec dbus-run-session -- sh -c '
  export DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
  /usr/bin/python3 -m dbusmock --system -t logind >/dev/null 2>&1 &
  mock=$!
  "$0" "$@"
  status=$?
  kill $mock 2>/dev/null || true
  exit $status' "$test_binary" "$@"
