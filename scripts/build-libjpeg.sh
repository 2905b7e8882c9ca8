#!/usr/bin/env bash
# Cross-builds a static libjpeg (libjpeg-turbo, from Debian's source package)
# for one architecture into $QV_BUILD/deps/<arch>, once per build folder.
# Usage: build-libjpeg.sh x86_64|i686
set -euo pipefail
source "$(dirname "$0")/lib/lib.sh"

arch="${1:?usage: build-libjpeg.sh x86_64|i686}"
deps="$QV_BUILD/deps"
prefix="$deps/$arch"
stamp="$prefix/.qv-libjpeg-ready"
[[ -f "$stamp" ]] && exit 0

mkdir -p "$deps"
exec 7>"$deps/libjpeg.lock"
flock 7
[[ -f "$stamp" ]] && exit 0
start=$(date +%s%3N)

# The source, unpacked once with Debian's patches applied; both
# architectures build from it.
src_root="$deps/src"
if [[ ! -f "$src_root/.qv-unpacked" ]]; then
  rm -rf "$src_root"
  mkdir -p "$src_root"
  qv_log "fetching the libjpeg-turbo source package"
  (cd "$src_root" && apt-get source -qq libjpeg-turbo >"$src_root/apt-source.log" 2>&1) || {
    qv_log "apt-get source libjpeg-turbo failed (see $src_root/apt-source.log; scripts/setup.sh adds the deb-src entry)"
    exit 1
  }
  touch "$src_root/.qv-unpacked"
fi
src="$(find "$src_root" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)"
[[ -n "$src" && -f "$src/jpeglib.h" ]] || { qv_log "no libjpeg-turbo source in $src_root"; exit 1; }

# Only the static library and its headers: no SIMD (no nasm needed), no
# TurboJPEG API, no tools.
work="$deps/build-$arch"
rm -rf "$work" "$prefix"
log="$deps/libjpeg-$arch.log"
qv_log "building libjpeg-turbo ($(basename "$src")) for $arch"
if ! {
  cmake -S "$src" -B "$work" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=ON &&
  cmake --build "$work" --target jpeg-static
} >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  qv_log "libjpeg build for $arch failed (log: $log)"
  exit 1
fi
# The library's install rules have no components; take just what a user needs.
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libjpeg.a" "$prefix/lib/"
cp "$work/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$prefix/include/"
rm -rf "$work"
touch "$stamp"
qv_log "libjpeg for $arch: $(stat -c %s "$prefix/lib/libjpeg.a") bytes, $(( $(date +%s%3N) - start )) ms"
