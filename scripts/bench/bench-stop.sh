#!/usr/bin/env bash
# How long the service takes to stop with the tray it started running, in a
# prefix of its own with Wine's desktop: the control manager waits the
# service's wait hint (5 s) between its reports. Each round starts the
# service, waits until it has started the tray, then times from the stop
# request to the stopped state.
# Usage: scripts/bench/bench-stop.sh [rounds, default 5]
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
# Without a desktop of Wine's own every window is an X window with no window
# manager, and Wine waits seconds for a hidden one: the tray's quit would be
# measured, not the service's stop.
qv_bench_desktop_prefix bench_stop
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

run "$bin/ServiceQuorvane.exe" /install /silent >/dev/null
# What starting a helper program costs, so that it can be told from the stop.
t0="$(now)"; run "$bin/qv_svcctl.exe" state >/dev/null; helper="$(seconds "$t0" "$(now)")"
for round in $(seq "${1:-5}"); do
  run "$bin/qv_svcctl.exe" start >/dev/null || true
  [[ "$(run "$bin/qv_svcctl.exe" wait 4 30)" == "4" ]] || { qv_log "bench-stop: service not running"; exit 1; }
  tray="tray running"
  run "$bin/qv_trayctl.exe" wait 60 >/dev/null || tray="no tray"
  sleep 2
  t0="$(now)"
  run "$bin/qv_svcctl.exe" stop >/dev/null || true
  state="$(run "$bin/qv_svcctl.exe" wait 1 30 || true)"
  stopped="$(seconds "$t0" "$(now)")"
  # As Windows sees it: a Linux process of Wine's may outlive the program.
  left="$(run "$bin/qv_trayctl.exe" wait 0 >/dev/null && echo ", tray window left" || echo ", tray gone")"
  echo "round $round ($tray): state $state after $stopped s$left (two helper programs of about $helper s each included)"
done
