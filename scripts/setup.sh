#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing. Idempotent.
set -euo pipefail
source "$(dirname "$0")/lib/lib.sh"

packages=(
  cmake ninja-build make
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 xvfb xauth x11-utils imagemagick
  googletest osslsigncode openssl
  dpkg-dev
)

# libjpeg-turbo is cross-built from Debian's source package (build-libjpeg.sh):
# apt-get source needs a deb-src entry for Debian's archive.
src_list=/etc/apt/sources.list.d/quorvane-src.sources
need_update=0
if [[ ! -f "$src_list" ]]; then
  if [[ $(id -u) -ne 0 ]]; then
    qv_log "missing $src_list (run as root to add it)"
    exit 1
  fi
  cat >"$src_list" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    qv_log "missing packages: ${missing[*]} (run as root to install them)"
    exit 1
  fi
  qv_log "installing: ${missing[*]}"
  apt-get update -qq
  need_update=0
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A source index is needed once the deb-src entry exists.
if ((need_update)) || ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:'; then
  qv_log "updating the package index (source entries)"
  apt-get update -qq
fi

if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
  qv_log "note: wine32 is installed but cannot run here; the scripts call $QV_WINE directly"
fi
[[ -x "$QV_WINE" ]] || { qv_log "no wine64 loader at $QV_WINE"; exit 1; }
qv_log "setup complete"
