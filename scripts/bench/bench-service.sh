#!/usr/bin/env bash
# Benchmarks the running service in a prefix of its own: setting round trips
# (median, p99), a junk flood followed by a version request, many clients at
# once (nothing may be lost), then the CPU time the idle service uses.
# Usage: bench-service.sh [round trips=1000] [idle seconds=60] [junk=500] [requests=10000] [clients=8]
# QV_BENCH_BIN names another folder of built programs (to compare builds).
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

bin="${QV_BENCH_BIN:-$QV_BUILD/x86_64/bin}"
[[ -n "${QV_BENCH_BIN:-}${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
export QV_PREFIX_NAME="${QV_PREFIX_NAME:-bench}"
prefix="$(qv_ensure_prefix "$QV_PREFIX_NAME")"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
# The service starts the tray for the console user: it needs a display, or
# the service would spend its idle time trying to start it again.
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || true
  xvfb_pid="$QV_XVFB_PID"
fi
cleanup() {
  run "$bin/qv_svcctl.exe" stop >/dev/null || true
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k || true
  rm -f "$prefix/.qv-started"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [[ "$(run "$bin/qv_svcctl.exe" state)" == "0" ]]; then run "$bin/ServiceQuorvane.exe" /install /silent; fi
run "$bin/qv_svcctl.exe" start >/dev/null || true  # an automatic service may be starting already
run "$bin/qv_svcctl.exe" wait 4 30 >/dev/null
sleep 2
run "$bin/bench_settings.exe" "${1:-1000}" || true
if [[ -x "$bin/bench_service_load.exe" ]]; then run "$bin/bench_service_load.exe" "${3:-500}" "${4:-10000}" "${5:-8}" || true; fi

pid="$(qv_prefix_pids "$prefix" 'ServiceQuorvane.exe' | head -1)"
[[ -n "$pid" ]] || { echo "no service process in $prefix" >&2; exit 1; }
tray="$(qv_prefix_pids "$prefix" 'QuorvaneTray.exe' | head -1)"
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
hz="$(getconf CLK_TCK)"
seconds="${2:-60}"
sleep 5  # the load above is over
before="$(ticks "$pid")"; tray_before="$( [[ -n "$tray" ]] && ticks "$tray" || echo 0)"
sleep "$seconds"
after="$(ticks "$pid")"; tray_after="$( [[ -n "$tray" ]] && ticks "$tray" || echo 0)"
report() {
  awk -v t="$2" -v hz="$hz" -v s="$seconds" -v what="$1" \
    'BEGIN { printf "idle %s CPU: %.2f s over %d s = %.2f%% of one core\n", what, t / hz, s, 100 * t / hz / s }'
}
report service $((after - before))
if [[ -n "$tray" ]]; then report "tray (for reference)" $((tray_after - tray_before)); else echo "the tray was not running"; fi
