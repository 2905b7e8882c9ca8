#!/usr/bin/env bash
# Takes a screenshot of the tray at work: the service runs and has started the
# tray in Wine's desktop with a taskbar; its icon is in the notification area
# and its menu is open. Kept as build/artifacts/tray-menu.png (not committed).
# Runs on a display of its own (a private Xvfb), so that windows of other
# tests never get into the picture, in a fresh prefix "qv_tray_screenshot".
# Usage: tests/screenshots/screenshot-tray.sh [folder of the built programs]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/prefix.sh"

source "$(dirname "$0")/../../scripts/lib/screenshot-lib.sh"

qv_shot_begin qv_tray_screenshot "${1:-$QV_BUILD/x86_64/bin}" ServiceQuorvane.exe QuorvaneTray.exe qv_svcctl.exe qv_trayctl.exe
shot="$out_dir/tray-menu.png"
qv_shot_start_service

ctl() { wine_run "$bin/qv_trayctl.exe" "$@"; }
qv_shot_wait_tray
menu="$(ctl menu)" || { qv_log "screenshot: the tray menu did not open"; exit 1; }
qv_log "screenshot: taskbar at $bar, menu open at $menu"
# The menu opens whole on the screen, clear of the taskbar, tall enough for
# its eight items. (Where exactly depends on the cursor, which Wine takes
# back from the X server soon after another program set it.)
IFS=, read -r _ bar_top _ bar_bottom <<<"$bar"
IFS=, read -r m_left m_top m_right m_bottom <<<"$menu"
problems=()
((bar_bottom == 768)) || problems+=("the taskbar is not at the bottom of the screen")
((m_left >= 0 && m_top >= 0 && m_right <= 1024 && m_bottom <= bar_top)) || problems+=("the menu is not whole above the taskbar")
((m_bottom - m_top >= 8 * 12 && m_right - m_left >= 60)) || problems+=("the menu is too small for its items")
if ((${#problems[@]})); then
  printf '[quorvane] screenshot: %s\n' "${problems[@]}" >&2
  exit 1
fi
sleep 1
/usr/bin/import -window root "$shot"

colours="$(identify -format '%k' "$shot")"
if ((colours < 8)); then
  qv_log "screenshot: $shot looks blank ($colours colours)"
  exit 1
fi
qv_log "screenshot: $shot ($(stat -c %s "$shot") bytes, $colours colours)"
