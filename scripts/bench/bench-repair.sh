#!/usr/bin/env bash
# Repair latency of the Winlogon "Shell" guard in a prefix of its own (see
# tests/bench/bench_repair_latency.cpp), with the service installed and the
# Shell guard switched on through the service's own command.
set -euo pipefail
source "$(dirname "$0")/../lib/prefix.sh"

[[ -n "${QV_BENCH_BUILT:-}" ]] || "$QV_ROOT/scripts/build.sh" x86_64 >/dev/null
export QV_PREFIX_NAME=bench-repair
prefix="$(qv_ensure_prefix bench-repair)"
bin="$QV_BUILD/x86_64/bin"
run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() { run "$bin/qv_svcctl.exe" stop >/dev/null || true; WINEPREFIX="$prefix" "$QV_WINESERVER" -k || true; rm -f "$prefix/.qv-started"; }
trap cleanup EXIT

if [[ "$(run "$bin/qv_svcctl.exe" state)" == "0" ]]; then run "$bin/ServiceQuorvane.exe" /install /silent; fi
run "$bin/qv_svcctl.exe" start >/dev/null || true
run "$bin/qv_svcctl.exe" wait 4 30 >/dev/null
sleep 2
run "$bin/qv_svcctl.exe" set All_shell 1 >/dev/null
sleep 1
run "$bin/bench_repair_latency.exe" "${1:-100}"
