#!/usr/bin/env bash
# Sets up what is missing, builds both architectures, and runs the whole test
# suite under Wine in fresh prefixes (and under Xvfb when there is no display).
#   scripts/test.sh [ctest options]          what CI runs
#   scripts/test.sh --quick [ctest options]  the edit-build-test loop: no set-up,
#       the x86_64 build only, the `unit` and `wine` tests only (no windows)
# Neither runs the benchmarks (label `bench`): after
# `cmake -DQV_BENCH_TESTS=ON build/x86_64`, `ctest --test-dir build/x86_64
# -L bench` does, one at a time, on the tree as built.
set -euo pipefail
source "$(dirname "$0")/lib/prefix.sh"

start=$(date +%s)
quick=0
if [[ "${1:-}" == "--quick" ]]; then
  quick=1
  shift
fi
if [[ $quick -eq 1 ]]; then
  "$QV_ROOT/scripts/build.sh" x86_64
  set -- -LE 'window|screenshot|bench' -E '^qv_xp_imports$' "$@"
else
  "$QV_ROOT/scripts/setup.sh"
  "$QV_ROOT/scripts/build.sh" all
  set -- -LE bench "$@"
fi

rm -rf "$QV_PREFIXES"
qv_ensure_template

xvfb_pid=""
cleanup() {
  qv_stop_prefixes
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || true
  xvfb_pid="$QV_XVFB_PID"
fi

status=0
ctest --test-dir "$QV_BUILD/x86_64" -j "$(nproc)" --output-on-failure --timeout 600 "$@" || status=$?
qv_log "test command took $(( $(date +%s) - start )) s"
exit $status
