#!/usr/bin/env bash
# The main job: sets up what is missing, builds, and prepares the Wine prefix
# in which the protection runs.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

"$QV_ROOT/scripts/setup.sh"
"$QV_ROOT/scripts/build.sh" all
prefix="$(qv_ensure_prefix main)"
qv_log "programs: $QV_BUILD/x86_64/bin/ServiceQuorvane.exe, $QV_BUILD/x86_64/bin/QuorvaneTray.exe"
qv_log "Wine prefix ready: $prefix (PhysicalDrive0 -> $(readlink -f "$prefix/dosdevices/physicaldrive0"))"
