#!/usr/bin/env bash
# The hosts manager's reload of a hosts copy with many pairs (default 10,000
# pairs, 1,000 of them in the allow-list, 5 reloads) in a prefix of its own,
# on a private Xvfb display when none is set.
# Usage: scripts/bench/bench-hosts.sh [pairs] [allowed] [runs]
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
export QV_PREFIX_NAME=bench-hosts
prefix="$(qv_ensure_prefix bench-hosts)"
bin="$QV_BUILD/x86_64/bin"
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || { qv_log "bench-hosts: no free display"; exit 1; }
  xvfb_pid="$QV_XVFB_PID"
fi
cleanup() {
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

"$QV_ROOT/scripts/wine-exec.sh" "$bin/bench_hosts_reload.exe" "${1:-10000}" "${2:-1000}" "${3:-5}" 2>/dev/null | tr -d '\r'
