#!/usr/bin/env bash
# The main job: sets up what is missing, builds, installs the protection into
# the project's Wine prefix "main" (as the program folder C:\Program Files\Quorvane),
# registers and starts the service, shows that it runs, its log and its data
# folder, and keeps it running until interrupted; then stops it cleanly.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"

"$QV_ROOT/scripts/setup.sh"
"$QV_ROOT/scripts/build.sh" all

export QV_PREFIX_NAME=main
prefix="$(qv_ensure_prefix main)"
export WINEPREFIX="$prefix"
bin="$QV_BUILD/x86_64/bin"
wine_run() { "$QV_ROOT/scripts/wine-exec.sh" "$@"; }

install_dir="$prefix/drive_c/Program Files/Quorvane"
mkdir -p "$install_dir/language"
cp "$bin/ServiceQuorvane.exe" "$bin/QuorvaneTray.exe" "$install_dir/"
cp "$bin"/*.lng "$install_dir/" 2>/dev/null || true
cp "$bin"/language/*.lng "$install_dir/language/" 2>/dev/null || true
cp "$bin/qv_svcctl.exe" "$QV_WINE_DIR/"
svcctl() { wine_run "$QV_WINE_DIR/qv_svcctl.exe" "$@" 2>/dev/null | tr -d '\r'; }

stop_all() {
  trap - INT TERM EXIT
  qv_log "stopping the service"
  svcctl stop >/dev/null || true
  qv_log "service state: $(svcctl wait 1 20 || true) (1 = stopped)"
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
}
trap stop_all INT TERM EXIT

if [[ "$(svcctl state)" == "0" ]]; then
  qv_log "registering the service: ServiceQuorvane.exe /install /silent"
  wine_run 'C:\Program Files\Quorvane\ServiceQuorvane.exe' /install /silent
fi
svcctl start >/dev/null || true  # an automatic service may be starting already
state="$(svcctl wait 4 30 || true)"
qv_log "service \"Quorvane\" state: $state (4 = running)"
[[ "$state" == "4" ]] || { qv_log "the service did not start"; exit 1; }

data="$prefix/drive_c/ProgramData/Quorvane"
sleep 2
qv_log "data folder C:\\ProgramData\\Quorvane:"
ls -la "$data" | sed 's/^/    /'
qv_log "service.log:"
iconv -f CP1251 -t UTF-8 "$data/service.log" | sed 's/^/    /'

if [[ "${QV_RUN_ONCE:-}" == "1" ]]; then
  exit 0
fi
qv_log "protection is running; press Ctrl+C to stop it"
while sleep 5; do :; done
