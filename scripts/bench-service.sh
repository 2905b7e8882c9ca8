#!/usr/bin/env bash
# Benchmarks the running service in a prefix of its own: 1000 setting round
# trips (median, p99), then the CPU time the idle service uses over 60 s.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

"$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
export QV_PREFIX_NAME=bench
prefix="$(qv_ensure_prefix bench)"
bin="$QV_BUILD/x86_64/bin"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() { run "$bin/qv_svcctl.exe" stop >/dev/null || true; WINEPREFIX="$prefix" "$QV_WINESERVER" -k || true; rm -f "$prefix/.qv-started"; }
trap cleanup EXIT

if [[ "$(run "$bin/qv_svcctl.exe" state)" == "0" ]]; then run "$bin/ServiceQuorvane.exe" /install /silent; fi
run "$bin/qv_svcctl.exe" start >/dev/null || true  # an automatic service may be starting already
run "$bin/qv_svcctl.exe" wait 4 30 >/dev/null
sleep 2
run "$bin/bench_settings.exe" "${1:-1000}"

pid="$(qv_prefix_pids "$prefix" 'ServiceQuorvane.exe' | head -1)"
[[ -n "$pid" ]] || { echo "no service process in $prefix" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz="$(getconf CLK_TCK)"
seconds="${2:-60}"
before="$(ticks)"; sleep "$seconds"; after="$(ticks)"
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle service CPU: %.2f s over %d s = %.2f%% of one core\n", t / hz, s, 100 * t / hz / s }'
