# Shared settings of the project's scripts (sourced, not run).
QV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QV_BUILD="${QV_BUILD_DIR:-$QV_ROOT/build}"
QV_WINE_DIR="$QV_BUILD/wine"
QV_TEMPLATE="$QV_WINE_DIR/template"
QV_PREFIXES="$QV_WINE_DIR/prefixes"

# Debian's wine64 loader, called directly: the "wine" wrapper would try a
# 32-bit loader first, which this machine cannot run.
QV_WINE="${QV_WINE:-/usr/lib/wine/wine64}"
QV_WINESERVER="${QV_WINESERVER:-/usr/lib/wine/wineserver}"

export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono, no Gecko: there is no network to fetch them from.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

qv_log() { printf '[quorvane] %s\n' "$*" >&2; }

# Starts a private Xvfb on the first free display of FIRST..LAST and exports
# DISPLAY; its process id lands in QV_XVFB_PID (empty when none was free).
# Two scripts may pick the same free display at the same moment: a display is
# ours only once our server holds its lock file.
qv_start_xvfb() {
  local n pid
  QV_XVFB_PID=""
  for n in $(seq "$1" "$2"); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      [[ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" == "$pid" && -e /tmp/.X11-unix/X$n ]] && break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [[ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" == "$pid" ]]; then
      QV_XVFB_PID=$pid
      export DISPLAY=":$n"
      return 0
    fi
    kill "$pid" 2>/dev/null || true
  done
  return 1
}
