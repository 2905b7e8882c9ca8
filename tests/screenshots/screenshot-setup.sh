#!/usr/bin/env bash
# Takes screenshots of the first-run wizard once it shows its controls
# (wizard.png) and of the settings pages that are not protection pages: the
# about page with its puzzle open (settings-page-0.png), the update (5),
# language and tray (6) and network (7) pages, in the settings window of the
# running tray in Wine's desktop. Kept in build/artifacts/ (not committed).
# Runs on a display of its own (a private Xvfb) in a fresh prefix
# "qv_setup_screenshot", like screenshot-settings.sh.
# Usage: tests/screenshots/screenshot-setup.sh [folder of the built programs]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/prefix.sh"

source "$(dirname "$0")/../../scripts/lib/screenshot-lib.sh"

qv_shot_begin qv_setup_screenshot "${1:-$QV_BUILD/x86_64/bin}" ServiceQuorvane.exe QuorvaneTray.exe qv_svcctl.exe qv_trayctl.exe qv_settingsctl.exe qv_setupctl.exe
shot_close_windows() { wine_run "$bin/qv_settingsctl.exe" close; }
qv_shot_start_service

# The service starts the tray, which opens the wizard on this fresh install:
# its first choice turns the protection on, so the pages show switches set.
wine_run "$bin/qv_trayctl.exe" wait 60 >/dev/null || { qv_log "screenshot: the tray's window did not appear"; exit 1; }
rect="$(wine_run "$bin/qv_setupctl.exe" wizard 60)" || { qv_log "screenshot: no wizard"; exit 1; }
qv_picture_when_painted "$rect" "$out_dir/wizard.png" 30 || { qv_log "screenshot: the wizard shows no controls"; exit 1; }
wine_run "$bin/qv_setupctl.exe" choose 0 >/dev/null || { qv_log "screenshot: the wizard's controls were not found"; exit 1; }
wine_run "$bin/qv_setupctl.exe" gone 30 >/dev/null || { qv_log "screenshot: the wizard stayed open"; exit 1; }

for page in 5 6 7 0; do
  rect="$(wine_run "$bin/qv_settingsctl.exe" open "$page")" || { qv_log "screenshot: page $page did not open"; exit 1; }
  [[ "$page" == 0 ]] && { wine_run "$bin/qv_setupctl.exe" puzzle >/dev/null || qv_log "screenshot: no puzzle picture"; }
  sleep 1  # painted
  /usr/bin/import -window root "$out_dir/settings-page-$page.png"
  colours="$(identify -format '%k' "$out_dir/settings-page-$page.png")"
  ((colours >= 8)) || { qv_log "screenshot: page $page looks blank ($colours colours)"; exit 1; }
done
qv_log "screenshot: pages 0, 5, 6 and 7 of the settings window at $rect in $out_dir"
