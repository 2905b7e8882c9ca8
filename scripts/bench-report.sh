#!/usr/bin/env bash
# Times the event report window listing a report of many events (10,000 by
# default) from the running service, in a prefix of its own under Xvfb: the
# time from the request to the last row listed.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

"$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
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
  qv_start_xvfb 170 190 || true
  xvfb_pid="$QV_XVFB_PID"
fi
"$QV_ROOT/scripts/wine-exec.sh" "$QV_BUILD/x86_64/bin/bench_report.exe" "${1:-10000}" "${2:-300}" 2>/dev/null | tr -d '\r'
