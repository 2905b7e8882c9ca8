#!/usr/bin/env bash
# Takes a screenshot of the settings window of the running tray, opened from
# the tray's menu command on the autorun page, in Wine's desktop. Kept as
# build/artifacts/settings-window.png (not committed), with one of each other
# protection page as settings-page-N.png. Runs on a display of
# its own (a private Xvfb) in a fresh prefix "qv_settings_screenshot", like
# screenshot-popups.sh.
# Usage: tests/screenshots/screenshot-settings.sh [folder of the built programs]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/prefix.sh"

source "$(dirname "$0")/../../scripts/lib/screenshot-lib.sh"

qv_shot_begin qv_settings_screenshot "${1:-$QV_BUILD/x86_64/bin}" ServiceQuorvane.exe QuorvaneTray.exe qv_svcctl.exe qv_trayctl.exe qv_settingsctl.exe
shot="$out_dir/settings-window.png"
shot_close_windows() { wine_run "$bin/qv_settingsctl.exe" close; }
qv_shot_start_service

# The service starts the tray for the console user, inside Wine's desktop.
pid="$(wine_run "$bin/qv_trayctl.exe" wait 60)" || { qv_log "screenshot: the tray's window did not appear"; exit 1; }
qv_log "screenshot: tray running (process $pid)"

for page in 1 2 4 3; do
  rect="$(wine_run "$bin/qv_settingsctl.exe" open "$page")" || { qv_log "screenshot: page $page did not open"; exit 1; }
  sleep 1  # painted
  [[ "$page" == 3 ]] || /usr/bin/import -window root "$out_dir/settings-page-$page.png"
done
/usr/bin/import -window root "$shot"
qv_log "screenshot: settings window at $rect"

colours="$(identify -format '%k' "$shot")"
if ((colours < 8)); then
  qv_log "screenshot: $shot looks blank ($colours colours)"
  exit 1
fi
qv_log "screenshot: $shot ($(stat -c %s "$shot") bytes, $colours colours)"
