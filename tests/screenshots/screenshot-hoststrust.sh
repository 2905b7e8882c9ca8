#!/usr/bin/env bash
# Checks the pictures that qv_hoststrust_tests took of its windows (hosts
# manager, the hosts manager naming a failure, trust list, new-autorun dialog)
# in build/artifacts/: each must show more than a blank rectangle.
# Usage: tests/screenshots/screenshot-hoststrust.sh [artifacts folder]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/lib.sh"

dir="${1:-$QV_BUILD/artifacts}"
status=0
for name in hosts-manager hosts-manager-failure trust-list new-autorun-dialog; do
  png="$dir/$name.png"
  if [[ ! -f "$png" ]]; then
    qv_log "screenshot: $png is missing (qv_hoststrust_tests takes it)"
    status=1
    continue
  fi
  colours="$(identify -format '%k' "$png")"
  if ((colours < 8)); then
    qv_log "screenshot: $png looks blank ($colours colours)"
    status=1
  else
    qv_log "screenshot: $png ($(stat -c %s "$png") bytes, $colours colours)"
  fi
done
exit $status
