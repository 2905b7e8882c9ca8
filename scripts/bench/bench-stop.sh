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
name=bench_stop
# Without a desktop of Wine's own every window is an X window with no window
# manager, and Wine waits seconds for a hidden one: the tray's quit would be
# measured, not the service's stop.
export QV_PREFIX_NAME=$name QV_VIRTUAL_DESKTOP=1024x768
if [[ -d "$QV_PREFIXES/$name" ]]; then
  WINEPREFIX="$QV_PREFIXES/$name" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -rf "${QV_PREFIXES:?}/$name" "$QV_PREFIXES/$name.img"
fi
prefix="$(qv_ensure_prefix "$name")"
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || { qv_log "bench-stop: no free display"; exit 1; }
  xvfb_pid="$QV_XVFB_PID"
fi
bin="$QV_BUILD/x86_64/bin"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() {
  run "$bin/qv_svcctl.exe" stop >/dev/null || true
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
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
  left="$([[ -n "$(qv_prefix_pids "$prefix" QuorvaneTray.exe)" ]] && echo ", tray left running" || echo "")"
  echo "round $round ($tray): state $state after $(seconds "$t0" "$(now)") s$left (two helper programs of about $helper s each included)"
done
