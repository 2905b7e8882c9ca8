#!/usr/bin/env bash
# Takes a screenshot of the settings window of the running tray, opened from
# the tray's menu command on the autorun page, in Wine's desktop. Kept as
# build/artifacts/settings-window.png (not committed), with one of each other
# protection page as settings-page-N.png. Runs on a display of
# its own (a private Xvfb) in a fresh prefix "qv_settings_screenshot", like
# screenshot-popups.sh.
# Usage: scripts/screenshot-settings.sh [folder of the built programs]
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

bin="${1:-$QV_BUILD/x86_64/bin}"
out_dir="$QV_BUILD/artifacts"
shot="$out_dir/settings-window.png"
name=qv_settings_screenshot
mkdir -p "$out_dir"

for exe in ServiceQuorvane.exe QuorvaneTray.exe qv_svcctl.exe qv_trayctl.exe qv_settingsctl.exe; do
  [[ -f "$bin/$exe" ]] || { qv_log "screenshot: $bin/$exe is missing (build first)"; exit 1; }
done

if [[ -d "$QV_PREFIXES/$name" ]]; then
  WINEPREFIX="$QV_PREFIXES/$name" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -rf "${QV_PREFIXES:?}/$name" "$QV_PREFIXES/$name.img"
fi
export QV_PREFIX_NAME=$name QV_LOCALE=ru_RU.UTF-8 QV_VIRTUAL_DESKTOP=1024x768
prefix="$(qv_ensure_prefix "$name")"

xvfb_pid=""
qv_start_xvfb 211 250 || true
xvfb_pid="$QV_XVFB_PID"
[[ -n "$xvfb_pid" ]] || { qv_log "screenshot: no free display"; exit 1; }
sleep 1

wine_run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
cleanup() {
  wine_run "$bin/qv_settingsctl.exe" close >/dev/null || true
  wine_run "$bin/qv_svcctl.exe" stop >/dev/null || true
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

wine_run "$bin/ServiceQuorvane.exe" /install /silent >/dev/null
[[ "$(wine_run "$bin/qv_svcctl.exe" wait 1 30)" == "1" ]] || { qv_log "screenshot: service not registered"; exit 1; }
wine_run "$bin/qv_svcctl.exe" start >/dev/null
[[ "$(wine_run "$bin/qv_svcctl.exe" wait 4 30)" == "4" ]] || { qv_log "screenshot: service not running"; exit 1; }

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
