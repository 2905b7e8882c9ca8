#!/usr/bin/env bash
# Idle cost of the protection: installs and starts the service in a prefix of
# its own with Wine's desktop (on a private Xvfb when there is no display),
# waits until the service has started the tray and both have settled, then
# prints the CPU time each process used over the measured span, as a share of
# one core. Usage: scripts/bench/bench-idle.sh [seconds, default 60]
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

seconds="${1:-60}"
[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
qv_bench_desktop_prefix bench_idle

# The programs as shipped (no debug sections), as a user runs them.
run "$QV_BUILD/x86_64/ship/ServiceQuorvane.exe" /install /silent >/dev/null
[[ "$(run "$bin/qv_svcctl.exe" wait 1 30)" == "1" ]] || { qv_log "bench-idle: service not registered"; exit 1; }
run "$bin/qv_svcctl.exe" start >/dev/null || true
[[ "$(run "$bin/qv_svcctl.exe" wait 4 30)" == "4" ]] || { qv_log "bench-idle: service not running"; exit 1; }
run "$bin/qv_trayctl.exe" wait 60 >/dev/null || { qv_log "bench-idle: the tray did not come up"; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
service_pid="$(qv_prefix_pids "$prefix" 'ServiceQuorvane.exe' | head -1)"
[[ -n "$service_pid" ]] || { qv_log "bench-idle: no service process"; exit 1; }
# The copy the service starts hands over to a fresh one and ends: the tray is
# the one left once its window is there.
tray_pid=""
for _ in $(seq 1 50); do
  pids="$(qv_prefix_pids "$prefix" 'QuorvaneTray.exe')"
  if [[ -n "$pids" && "$(wc -l <<<"$pids")" == 1 ]]; then tray_pid="$pids"; break; fi
  sleep 0.2
done
[[ -n "$tray_pid" ]] || { qv_log "bench-idle: no tray process"; exit 1; }

# Settled: the tray's start-up (settings, texts, icon) shows as CPU time;
# wait until a 2 s span costs the tray less than a tenth of a second.
for _ in $(seq 1 30); do
  before="$(ticks "$tray_pid")"; sleep 2; after="$(ticks "$tray_pid")"
  (( after - before < 10 )) && break
done

hz="$(getconf CLK_TCK)"
service_before="$(ticks "$service_pid")"; tray_before="$(ticks "$tray_pid")"
sleep "$seconds"
service_after="$(ticks "$service_pid")"; tray_after="$(ticks "$tray_pid")"
report() {
  awk -v t="$2" -v hz="$hz" -v s="$seconds" -v who="$1" \
    'BEGIN { printf "idle %s CPU: %.2f s over %d s = %.2f%% of one core\n", who, t / hz, s, 100 * t / hz / s }'
}
report service $((service_after - service_before))
report tray $((tray_after - tray_before))
report "service and tray" $((service_after - service_before + tray_after - tray_before))
