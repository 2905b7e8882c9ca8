# The part every screenshot script shares (sourced after prefix.sh): a fresh
# prefix of the script's own with Wine's desktop, a private display so that
# windows of other tests never get into the picture, and the service
# installed and running in it (it then starts the tray for the console user).

# qv_shot_begin NAME BIN PROGRAM...: checks that the programs are built, makes
# the prefix NAME afresh, starts the display and arms the clean-up. Sets
# `prefix`, `xvfb_pid` and `out_dir`. A script that must close windows of its
# own before the service stops defines shot_close_windows.
qv_shot_begin() {
  local name="$1" exe
  bin="$2"
  shift 2
  out_dir="$QV_BUILD/artifacts"
  mkdir -p "$out_dir"
  for exe in "$@"; do
    [[ -f "$bin/$exe" ]] || { qv_log "screenshot: $bin/$exe is missing (build first)"; exit 1; }
  done
  if [[ -d "$QV_PREFIXES/$name" ]]; then
    WINEPREFIX="$QV_PREFIXES/$name" "$QV_WINESERVER" -k 2>/dev/null || true
    rm -rf "${QV_PREFIXES:?}/$name" "$QV_PREFIXES/$name.img"
  fi
  export QV_PREFIX_NAME=$name QV_LOCALE=ru_RU.UTF-8 QV_VIRTUAL_DESKTOP=1024x768
  prefix="$(qv_ensure_prefix "$name")"
  xvfb_pid=""
  qv_start_xvfb || true
  xvfb_pid="$QV_XVFB_PID"
  [[ -n "$xvfb_pid" ]] || { qv_log "screenshot: no free display"; exit 1; }
  trap qv_shot_cleanup EXIT
}

wine_run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }

qv_shot_cleanup() {
  if declare -F shot_close_windows >/dev/null; then shot_close_windows >/dev/null || true; fi
  wine_run "$bin/qv_svcctl.exe" stop >/dev/null || true
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  kill "$xvfb_pid" 2>/dev/null || true
}

# Registers and starts the service of BIN in the prefix; ends the script when
# it does not come up.
qv_shot_start_service() {
  wine_run "$bin/ServiceQuorvane.exe" /install /silent >/dev/null
  [[ "$(wine_run "$bin/qv_svcctl.exe" wait 1 30)" == "1" ]] || { qv_log "screenshot: service not registered"; exit 1; }
  wine_run "$bin/qv_svcctl.exe" start >/dev/null
  [[ "$(wine_run "$bin/qv_svcctl.exe" wait 4 30)" == "4" ]] || { qv_log "screenshot: service not running"; exit 1; }
}

# The tray the service started for the console user, inside Wine's desktop:
# waits until its window, its icon (the last of its start-up) and the
# taskbar are there; sets tray_pid and bar ("left,top,right,bottom").
qv_shot_wait_tray() {
  local ok=0
  tray_pid="$(wine_run "$bin/qv_trayctl.exe" wait 60)" || { qv_log "screenshot: the tray's window did not appear"; exit 1; }
  qv_log "screenshot: tray running (process $tray_pid)"
  for _ in $(seq 1 100); do
    if wine_run "$bin/qv_trayctl.exe" icon >/dev/null; then ok=1; break; fi
    sleep 0.2
  done
  ((ok)) || { qv_log "screenshot: the tray icon is not in the notification area"; exit 1; }
  bar=""
  for _ in $(seq 1 50); do
    bar="$(wine_run "$bin/qv_trayctl.exe" taskbar)" && break
    sleep 0.2
  done
  [[ -n "$bar" ]] || { qv_log "screenshot: no taskbar in Wine's desktop"; exit 1; }
}
