# Wine prefixes of the project (sourced). Every prefix lives under the build
# folder and maps \\.\PhysicalDrive0 to a disk-image file of its own, so that
# nothing run in it can ever reach a real disk.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

QV_DISK_IMAGE_BYTES=$((1024 * 1024))

# A zero-filled image with a boot signature 0x55 0xAA at bytes 510-511.
qv_make_disk_image() {
  local image="$1"
  head -c "$QV_DISK_IMAGE_BYTES" /dev/zero >"$image"
  printf '\x55\xAA' | dd of="$image" bs=1 seek=510 conv=notrunc status=none
}

# Points dosdevices/physicaldrive0 of a prefix at an image inside the build folder.
qv_map_physical_drive() {
  local prefix="$1" image="$2"
  [[ -f "$image" ]] || qv_make_disk_image "$image"
  ln -sfn "$image" "$prefix/dosdevices/physicaldrive0"
  local target
  target="$(readlink -f "$prefix/dosdevices/physicaldrive0")"
  case "$target" in
    "$QV_BUILD"/*) ;;
    *) qv_log "refusing: physicaldrive0 of $prefix points at $target"; return 1 ;;
  esac
}

# The template prefix, made once per build folder and copied for every run.
qv_ensure_template() {
  mkdir -p "$QV_WINE_DIR"
  exec 9>"$QV_WINE_DIR/template.lock"
  flock 9
  if [[ ! -f "$QV_TEMPLATE/.qv-ready" ]]; then
    rm -rf "$QV_TEMPLATE"
    qv_log "creating the Wine template prefix in $QV_TEMPLATE"
    WINEPREFIX="$QV_TEMPLATE" "$QV_WINE" wineboot -i >/dev/null 2>&1 || true
    # wineboot returns before Wine has finished setting up; let it settle.
    WINEPREFIX="$QV_TEMPLATE" "$QV_WINESERVER" -w
    [[ -f "$QV_TEMPLATE/system.reg" ]] || { qv_log "wineboot failed"; flock -u 9; return 1; }
    rm -f "$QV_TEMPLATE/dosdevices/physicaldrive0"
    touch "$QV_TEMPLATE/.qv-ready"
  fi
  flock -u 9
}

# Makes the prefix's default desktop a virtual desktop of the given size, with
# Wine's taskbar and notification area: every window of the prefix, the tray
# that the service starts in the console session included, shows inside it.
# Only while the prefix's Wine server is not running.
qv_enable_virtual_desktop() {
  local prefix="$1" size="${2:-1024x768}"
  grep -q '^\[Software\\\\Wine\\\\Explorer\\\\Desktops\]' "$prefix/user.reg" && return 0
  printf '\n[Software\\\\Wine\\\\Explorer] 1796796497\n"Desktop"="Default"\n\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1796796497\n"Default"="%s"\n' \
    "$size" >>"$prefix/user.reg"
}

# A fresh prefix copied from the template: qv_ensure_prefix NAME -> path on stdout.
# With QV_VIRTUAL_DESKTOP=WxH the new prefix gets a virtual desktop of that size.
qv_ensure_prefix() {
  local name="$1" prefix="$QV_PREFIXES/$1"
  mkdir -p "$QV_PREFIXES"
  (
    exec 8>"$QV_PREFIXES/$name.lock"
    flock 8
    if [[ ! -f "$prefix/.qv-ready" ]]; then
      qv_ensure_template
      rm -rf "$prefix"
      cp -a "$QV_TEMPLATE" "$prefix"
      rm -f "$prefix/.qv-ready"
      qv_map_physical_drive "$prefix" "$QV_PREFIXES/$name.img"
      [[ -n "${QV_VIRTUAL_DESKTOP:-}" ]] && qv_enable_virtual_desktop "$prefix" "$QV_VIRTUAL_DESKTOP"
      touch "$prefix/.qv-ready"
    fi
  )
  echo "$prefix"
}

# Ends the Wine server (and with it every process) of each prefix of this run.
qv_stop_prefixes() {
  local p
  for p in "$QV_PREFIXES"/*/; do
    [[ -d "$p" ]] || continue
    WINEPREFIX="${p%/}" "$QV_WINESERVER" -k 2>/dev/null || true
    rm -f "${p%/}/.qv-started"
  done
}

# Process ids (Linux) of the programs matching PATTERN that run in PREFIX:
# other prefixes on the machine may run the same programs.
qv_prefix_pids() {
  local prefix="$1" pattern="$2" pid
  for pid in $(pgrep -f "$pattern" || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix" && echo "$pid"
  done
  return 0
}

# For a benchmark that runs the service with the tray: a fresh prefix NAME
# with Wine's desktop (its own Xvfb when there is no display). Sets `prefix`,
# `bin` and `run` (a program in it, output without CRs); on exit the service
# is stopped, the prefix's server ended and the display closed.
qv_bench_desktop_prefix() {
  local name="$1"
  export QV_PREFIX_NAME="$name" QV_VIRTUAL_DESKTOP=1024x768
  if [[ -d "$QV_PREFIXES/$name" ]]; then
    WINEPREFIX="$QV_PREFIXES/$name" "$QV_WINESERVER" -k 2>/dev/null || true
    rm -rf "${QV_PREFIXES:?}/$name" "$QV_PREFIXES/$name.img"
  fi
  prefix="$(qv_ensure_prefix "$name")"
  QV_BENCH_XVFB=""
  if [[ -z "${DISPLAY:-}" ]]; then
    qv_start_xvfb || { qv_log "$name: no free display"; exit 1; }
    QV_BENCH_XVFB="$QV_XVFB_PID"
  fi
  bin="$QV_BUILD/x86_64/bin"
  run() { "$QV_ROOT/scripts/wine-exec.sh" "$@" 2>/dev/null | tr -d '\r'; }
  trap qv_bench_cleanup EXIT
}

qv_bench_cleanup() {
  run "$bin/qv_svcctl.exe" stop >/dev/null || true
  WINEPREFIX="$prefix" "$QV_WINESERVER" -k 2>/dev/null || true
  rm -f "$prefix/.qv-started"
  [[ -n "$QV_BENCH_XVFB" ]] && kill "$QV_BENCH_XVFB" 2>/dev/null || true
}
