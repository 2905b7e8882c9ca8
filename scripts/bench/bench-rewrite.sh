#!/usr/bin/env bash
# A locker rewriting the Winlogon "Shell" value in a loop against the running
# service (All_shell on), in a prefix of its own: prints the service's CPU time
# over the loop and, from tests/bench/bench_rewrite_loop.cpp, the records the
# report gained and the pop-ups sent.
# Usage: scripts/bench/bench-rewrite.sh [rewrites, default 1000] [per second, default 50]
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

rewrites="${1:-1000}"
rate="${2:-50}"
[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
name=bench-rewrite
export QV_PREFIX_NAME=$name
if [[ -d "$QV_PREFIXES/$name" ]]; then
  WINEPREFIX="$QV_PREFIXES/$name" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -rf "${QV_PREFIXES:?}/$name" "$QV_PREFIXES/$name.img"
fi
prefix="$(qv_ensure_prefix "$name")"
bin="$QV_BUILD/x86_64/bin"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() { run "$bin/qv_svcctl.exe" stop >/dev/null || true; WINEPREFIX="$prefix" "$QV_WINESERVER" -k || true; rm -f "$prefix/.qv-started"; }
trap cleanup EXIT

run "$bin/ServiceQuorvane.exe" /install /silent >/dev/null
[[ "$(run "$bin/qv_svcctl.exe" wait 1 30)" == "1" ]] || { qv_log "bench-rewrite: service not registered"; exit 1; }
run "$bin/qv_svcctl.exe" start >/dev/null || true
[[ "$(run "$bin/qv_svcctl.exe" wait 4 30)" == "4" ]] || { qv_log "bench-rewrite: service not running"; exit 1; }
run "$bin/qv_svcctl.exe" set All_shell 1 >/dev/null
sleep 2
# The program the locker names exists (the first repair jails it).
mkdir -p "$prefix/drive_c/x"
cp "$bin/qv_waiter.exe" "$prefix/drive_c/x/l.exe"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
service_pid="$(qv_prefix_pids "$prefix" 'ServiceQuorvane.exe' | head -1)"
[[ -n "$service_pid" ]] || { qv_log "bench-rewrite: no service process"; exit 1; }
hz="$(getconf CLK_TCK)"
before="$(ticks "$service_pid")"; started="$(date +%s.%N)"
run "$bin/bench_rewrite_loop.exe" "$rewrites" "$rate"
after="$(ticks "$service_pid")"; ended="$(date +%s.%N)"
awk -v t="$((after - before))" -v hz="$hz" -v s0="$started" -v s1="$ended" -v n="$rewrites" \
  'BEGIN { s = s1 - s0; printf "service CPU: %.2f s over %.1f s = %.1f%% of one core; %.2f s per 1000 rewrites\n", t / hz, s, 100 * t / hz / s, 1000 * t / hz / n }'
