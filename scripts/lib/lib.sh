# Shared settings of the project's scripts (sourced, not run).
QV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
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

# Starts a private Xvfb on a free display and exports DISPLAY; its process id
# lands in QV_XVFB_PID (empty when none could be started). Xvfb picks the
# number itself (-displayfd) under its own lock, so scripts and test runs that
# start at the same moment never share a display.
qv_start_xvfb() {
  local numfile n tries
  QV_XVFB_PID=""
  numfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  # The number is written once the server accepts connections.
  for tries in $(seq 200); do
    if [[ "$(wc -l <"$numfile")" -ge 1 ]]; then
      n="$(head -n1 "$numfile")"
      rm -f "$numfile"
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$QV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  kill "$QV_XVFB_PID" 2>/dev/null || true
  QV_XVFB_PID=""
  return 1
}
