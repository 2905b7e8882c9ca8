#!/usr/bin/env bash
# Takes a screenshot of three pop-ups of the tray stacked above the taskbar of
# Wine's desktop: a new-version notice, a warning (an autorun event) and the
# killer confirmation. Kept as build/artifacts/tray-popups.png
# (not committed). Runs on a display of its own (a private Xvfb) in a fresh
# prefix "qv_popup_screenshot", like screenshot-tray.sh. The confirmation is
# closed without an answer before it could start the killer.
# Usage: tests/screenshots/screenshot-popups.sh [folder of the built programs]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/prefix.sh"

source "$(dirname "$0")/../../scripts/lib/screenshot-lib.sh"

qv_shot_begin qv_popup_screenshot "${1:-$QV_BUILD/x86_64/bin}" ServiceQuorvane.exe QuorvaneTray.exe qv_svcctl.exe qv_trayctl.exe
shot="$out_dir/tray-popups.png"
ctl() { wine_run "$bin/qv_trayctl.exe" "$@"; }
shot_close_windows() { ctl closepopups; }
qv_shot_start_service

qv_shot_wait_tray

# A new version notice (stays until answered), a new program in the
# machine's Run key (warning, 8 s) and last the killer confirmation (10 s: it
# would start the killer when it runs out), sent one right after the other.
ctl send 25 0 0 >/dev/null || { qv_log "screenshot: the notice was not delivered"; exit 1; }
ctl popups 1 >/dev/null || { qv_log "screenshot: the notice did not appear"; exit 1; }
ctl send 9 172 902 'C:\Users\Public\winlock.exe' >/dev/null || { qv_log "screenshot: the event was not delivered"; exit 1; }
ctl killer >/dev/null || { qv_log "screenshot: the tray took no killer command"; exit 1; }
places="$(ctl popups 3)" || { qv_log "screenshot: the warning or the confirmation did not appear"; exit 1; }
/usr/bin/import -window root "$shot"
ctl closepopups >/dev/null || true
qv_log "screenshot: taskbar at $bar, pop-ups at $(echo $places)"

# Each pop-up is 401 x 139, 4 px from the screen's right edge; the first
# stands 4 px above the taskbar and each next one 139 px higher.
IFS=, read -r _ bar_top bar_right _ <<<"$bar"
mapfile -t bottoms < <(while IFS=, read -r left top right bottom; do
  if ((right - left != 401 || bottom - top != 139 || right != bar_right - 4)); then
    echo "bad $left,$top,$right,$bottom"
  else
    echo "$bottom"
  fi
done <<<"$places" | sort -rn)
expected=("$((bar_top - 4))" "$((bar_top - 4 - 139))" "$((bar_top - 4 - 278))")
if [[ "${bottoms[*]}" != "${expected[*]}" ]]; then
  qv_log "screenshot: pop-up bottoms ${bottoms[*]}, expected ${expected[*]}"
  exit 1
fi

colours="$(identify -format '%k' "$shot")"
if ((colours < 8)); then
  qv_log "screenshot: $shot looks blank ($colours colours)"
  exit 1
fi
qv_log "screenshot: $shot ($(stat -c %s "$shot") bytes, $colours colours)"
