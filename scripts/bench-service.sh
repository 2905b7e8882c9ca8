#!/usr/bin/env bash
# Benchmarks the running service in a prefix of its own: setting round trips
# (median, p99), a junk flood followed by a version request, many clients at
# once (nothing may be lost), then the CPU time the idle service uses.
# Usage: bench-service.sh [round trips=1000] [idle seconds=60] [junk=500] [requests=10000] [clients=8]
# QV_BENCH_BIN names another folder of built programs (to compare builds).
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

bin="${QV_BENCH_BIN:-$QV_BUILD/x86_64/bin}"
[[ -n "${QV_BENCH_BIN:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
export QV_PREFIX_NAME="${QV_PREFIX_NAME:-bench}"
prefix="$(qv_ensure_prefix "$QV_PREFIX_NAME")"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() { run "$bin/qv_svcctl.exe" stop >/dev/null || true; WINEPREFIX="$prefix" "$QV_WINESERVER" -k || true; rm -f "$prefix/.qv-started"; }
trap cleanup EXIT

if [[ "$(run "$bin/qv_svcctl.exe" state)" == "0" ]]; then run "$bin/ServiceQuorvane.exe" /install /silent; fi
run "$bin/qv_svcctl.exe" start >/dev/null || true  # an automatic service may be starting already
run "$bin/qv_svcctl.exe" wait 4 30 >/dev/null
sleep 2
run "$bin/bench_settings.exe" "${1:-1000}" || true
if [[ -x "$bin/bench_service_load.exe" ]]; then run "$bin/bench_service_load.exe" "${3:-500}" "${4:-10000}" "${5:-8}" || true; fi

# The service process of this prefix only: other prefixes on the machine may
# run services of the same name.
service_pid() {
  local pid
  for pid in $(pgrep -f 'ServiceQuorvane.exe'); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}
pid="$(service_pid)" || { echo "no service process found in $prefix"; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz="$(getconf CLK_TCK)"
seconds="${2:-60}"
sleep 5  # the load above is over
before="$(ticks)"; sleep "$seconds"; after="$(ticks)"
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle service CPU: %.2f s over %d s = %.2f%% of one core\n", t / hz, s, 100 * t / hz / s }'
