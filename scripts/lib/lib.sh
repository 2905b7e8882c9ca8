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

# qv_picture_when_painted RECT FILE [SECONDS]: a picture of the whole screen
# in FILE, taken once the window at RECT ("left,top,right,bottom", as the
# control programs print it) shows its controls: its client area below the
# caption holds at least 8 colours (a window not painted yet is one flat
# grey). Fails when that does not happen within SECONDS (default 30); the
# last picture then stays.
qv_picture_when_painted() {
  local left top right bottom area colours i tries=$((${3:-30} * 5))
  IFS=, read -r left top right bottom <<<"$1"
  area="$((right - left - 8))x$((bottom - top - 34))+$((left + 4))+$((top + 30))"
  for ((i = 0; i < tries; i++)); do
    /usr/bin/import -window root "$2" 2>/dev/null || return 1
    colours="$(identify -format '%k' "$2[$area]" 2>/dev/null || echo 0)"
    ((colours >= 8)) && return 0
    sleep 0.2
  done
  return 1
}

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
