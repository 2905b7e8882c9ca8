#!/usr/bin/env bash
# Times the event report window listing a report of many events from the
# running service, in a prefix of its own under Xvfb: the time from the
# request to the last row listed. Three runs: the service's dump through the
# tray's receiver as built, the same dump through a receiver that takes
# every waiting row in one round, and the window alone (rows handed over on
# its own thread), so the figure can be laid at the door of its parts.
# Usage: scripts/bench/bench-report.sh [events] [limit in seconds per run]
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
events="${1:-10000}"
limit="${2:-300}"
export QV_PREFIX_NAME=bench_report
prefix="$(qv_ensure_prefix bench_report)"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || true
  xvfb_pid="$QV_XVFB_PID"
fi
run() { "$QV_ROOT/scripts/wine-exec.sh" "$QV_BUILD/x86_64/bin/bench_report.exe" "$events" "$limit" "$@" 2>/dev/null | tr -d '\r' || true; }
run service tray
run service drain
run local
