#!/usr/bin/env bash
# Builds the tested x86_64 build (programs and tests) and the i686 build
# (programs only: this machine cannot run 32-bit code).
set -euo pipefail
source "$(dirname "$0")/lib/lib.sh"

jobs="$(nproc)"
configure_and_build() {
  local arch="$1" tests="$2" dir="$QV_BUILD/$1"
  "$QV_ROOT/scripts/build-libjpeg.sh" "$arch"
  if [[ ! -f "$dir/build.ninja" ]] || ! grep -q '^QV_DEPS_DIR:' "$dir/CMakeCache.txt"; then
    cmake -S "$QV_ROOT" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-$arch.cmake" \
      -DQV_DEPS_DIR="$QV_BUILD/deps/$arch" \
      -DQV_BUILD_TESTS="$tests" -DQV_WINE_EXEC="$QV_ROOT/scripts/wine-exec.sh" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
}

what="${1:-all}"
case "$what" in
  x86_64) configure_and_build x86_64 ON ;;
  i686) configure_and_build i686 OFF ;;
  all) configure_and_build x86_64 ON; configure_and_build i686 OFF ;;
  *) qv_log "usage: build.sh [x86_64|i686|all]"; exit 2 ;;
esac
qv_log "build complete ($what)"
