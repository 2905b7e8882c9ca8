#!/usr/bin/env bash
# The main job: sets up what is missing, builds, installs the protection into
# the project's Wine prefix "main" (as the program folder C:\Program Files\Quorvane),
# registers and starts the service, shows that it runs, its log and its data
# folder; the service starts the tray for the console user in Wine's desktop
# (icon and menu in its taskbar; on a private Xvfb when there is no display).
# Keeps the protection running until interrupted, then stops it cleanly.
set -euo pipefail
source "$(dirname "$0")/lib/prefix.sh"

"$QV_ROOT/scripts/setup.sh"
"$QV_ROOT/scripts/build.sh" all

export QV_PREFIX_NAME=main

# A display for Wine's desktop: a private Xvfb when there is none.
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]]; then
  qv_start_xvfb || true
  xvfb_pid="$QV_XVFB_PID"
fi

prefix="$(qv_ensure_prefix main)"
export WINEPREFIX="$prefix"
# A fresh Wine session whose console desktop is Wine's desktop with a taskbar:
# the tray that the service starts for the console user shows its icon there.
"$QV_WINESERVER" -k 2>/dev/null || true
rm -f "$prefix/.qv-started"
qv_enable_virtual_desktop "$prefix" 1024x768
bin="$QV_BUILD/x86_64/bin"
wine_run() { "$QV_ROOT/scripts/wine-exec.sh" "$@"; }

install_dir="$prefix/drive_c/Program Files/Quorvane"
mkdir -p "$install_dir/language"
# What a user copies to Windows: the shipped folder of the build.
ship="$QV_BUILD/x86_64/ship"
cp "$ship/ServiceQuorvane.exe" "$ship/QuorvaneTray.exe" "$install_dir/"
cp "$ship"/*.lng "$install_dir/"
cp "$ship"/language/*.lng "$install_dir/language/"
cp "$bin/qv_svcctl.exe" "$bin/qv_trayctl.exe" "$bin/qv_setupctl.exe" "$QV_WINE_DIR/"
svcctl() { wine_run "$QV_WINE_DIR/qv_svcctl.exe" "$@" 2>/dev/null | tr -d '\r'; }
trayctl() { wine_run "$QV_WINE_DIR/qv_trayctl.exe" "$@" 2>/dev/null | tr -d '\r'; }
setupctl() { wine_run "$QV_WINE_DIR/qv_setupctl.exe" "$@" 2>/dev/null | tr -d '\r'; }

# A fresh install: the service answers the tray's first-run check with Type 8
# and the tray opens the first-run wizard. Takes its first choice (turn on all
# protection) as a user would, keeps a picture of the wizard in
# build/artifacts/wizard.png and shows the switches it wrote.
first_run_wizard() {
  local rect shots="$QV_BUILD/artifacts"
  if ! rect="$(setupctl wizard 30)"; then
    qv_log "no first-run wizard: the protection switches were written before"
    return 0
  fi
  qv_log "the first-run wizard is open at $rect"
  mkdir -p "$shots"
  # Only once it shows its controls: a window just made is an empty grey frame.
  if [[ -x /usr/bin/import ]]; then
    if qv_picture_when_painted "$rect" "$shots/wizard.png" 30; then
      qv_log "picture of the wizard: $shots/wizard.png"
    else
      qv_log "the wizard did not show its controls; last picture in $shots/wizard.png"
    fi
  fi
  qv_log "choosing \"turn on all protection\" and pressing Start"
  setupctl choose 0 >/dev/null || { qv_log "the wizard's controls were not found"; return 1; }
  setupctl gone 30 >/dev/null || qv_log "the wizard did not close"
  qv_log "protection switches now in HKLM\\SOFTWARE\\Quorvane:"
  setupctl values | sed 's/^/    /'
}

stop_all() {
  trap - INT TERM EXIT
  qv_log "stopping the service (it tells the tray to quit)"
  svcctl stop >/dev/null || true
  qv_log "service state: $(svcctl wait 1 30 || true) (1 = stopped)"
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
}
# Ctrl+C or kill: stop cleanly, then end the script (the wait below would
# otherwise go on).
on_signal() {
  stop_all
  exit 130
}
trap on_signal INT TERM
trap stop_all EXIT

if [[ "$(svcctl state)" == "0" ]]; then
  qv_log "registering the service: ServiceQuorvane.exe /install /silent"
  wine_run 'C:\Program Files\Quorvane\ServiceQuorvane.exe' /install /silent
fi
svcctl start >/dev/null || true  # an automatic service may be starting already
state="$(svcctl wait 4 30 || true)"
qv_log "service \"Quorvane\" state: $state (4 = running)"
[[ "$state" == "4" ]] || { qv_log "the service did not start"; exit 1; }

# The service starts the tray in the console user's session.
tray_up() {
  tray_pid="$(trayctl wait 60)" || return 1
  for _ in $(seq 1 50); do
    trayctl icon >/dev/null && return 0
    sleep 0.2
  done
  return 1
}
if tray_up; then
  qv_log "the service started the tray (process $tray_pid); its icon is in Wine's desktop on display $DISPLAY"
else
  qv_log "the tray did not come up"
fi
first_run_wizard || true

data="$prefix/drive_c/ProgramData/Quorvane"
qv_log "data folder C:\\ProgramData\\Quorvane:"
ls -la "$data" | sed 's/^/    /'
qv_log "service.log:"
iconv -f CP1251 -t UTF-8 "$data/service.log" | sed 's/^/    /'

if [[ "${QV_RUN_ONCE:-}" == "1" ]]; then
  exit 0
fi
qv_log "protection is running; press Ctrl+C to stop it"
# Waiting in "wait" lets a signal's handler run at once.
while :; do
  sleep 5 &
  wait $! || true
done
