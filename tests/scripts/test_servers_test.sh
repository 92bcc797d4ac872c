#!/usr/bin/env bash
# Runs of the ODBC test servers side by side: two runs started at once get folders and ports of
# their own, one run's stop leaves the other's server running, and the server of a run whose
# process died is stopped and removed by the next start.
#   test_servers_test.sh <path of scripts/test_servers.sh>
set -euo pipefail
script="$1"
work="$(mktemp -d /tmp/bns-servers-test.XXXXXX)"
chmod 755 "$work"  # the server runs as postgres when we are root
export BNS_ODBC_TEST_BASE="$work/base"
owners=()
cleanup() {
    bash "$script" stop-all >/dev/null 2>&1 || true
    for p in "${owners[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work" "$work/base.lock"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { BNS_ODBC_TEST_DIR="$BNS_ODBC_TEST_BASE/run-$1" bash "$script" "$2"; }

# Two runs, each owned by a process of its own (as two ctest runs are), started at once.
sleep 600 & a=$!
sleep 600 & b=$!
owners+=("$a" "$b")
run "$a" start >"$work/a.out" 2>&1 &
run "$b" start >"$work/b.out" 2>&1 &
wait %3 %4 || fail "a start failed: $(cat "$work/a.out" "$work/b.out")"
grep -qx started "$work/a.out" || fail "run a: $(cat "$work/a.out")"
grep -qx started "$work/b.out" || fail "run b: $(cat "$work/b.out")"
port_a="$(cat "$BNS_ODBC_TEST_BASE/run-$a/port")"
port_b="$(cat "$BNS_ODBC_TEST_BASE/run-$b/port")"
[ "$port_a" != "$port_b" ] || fail "both runs were given port $port_a"
[ "$(run "$a" start)" = running ] || fail "a second start of run a did not find its server"

# One run's stop ends its own server only.
[ "$(run "$a" stop)" = stopped ] || fail "run a did not stop"
[ ! -e "$BNS_ODBC_TEST_BASE/run-$a" ] || fail "run a's folder is left behind"
[ "$(run "$b" status)" = running ] || fail "stopping run a stopped run b"

# Run b is cut short: its process dies without a stop. The next run's start cleans up after it.
kill "$b"
wait "$b" 2>/dev/null || true
sleep 600 & c=$!
owners+=("$c")
[ "$(run "$c" start)" = started ] || fail "run c did not start"
[ ! -e "$BNS_ODBC_TEST_BASE/run-$b" ] || fail "the server of the run that died is left behind"
[ "$(run "$c" stop)" = stopped ] || fail "run c did not stop"
echo "test_servers: runs side by side pass"
