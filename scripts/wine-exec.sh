#!/usr/bin/env bash
# Runs a Windows program in one of the project's prefixes; CTest's emulator.
# QV_PREFIX_NAME picks the prefix (one per test program, so tests that use the
# registry, mailslots or the service manager never meet); QV_LOCALE, when set,
# becomes LC_ALL (ru_RU.UTF-8 gives code page 1251). QV_PRIVATE_DISPLAY=1 runs
# the program on an Xvfb display of its own: test programs that open windows
# run side by side, and on a shared display one program's window can lie over
# another's while it takes a picture of it.
set -uo pipefail
source "$(dirname "$0")/lib/prefix.sh"

private_xvfb=""
if [[ "${QV_PRIVATE_DISPLAY:-}" == "1" ]]; then
  qv_start_xvfb || { echo "wine-exec: no private display could be started" >&2; exit 125; }
  private_xvfb="$QV_XVFB_PID"
fi

name="${QV_PREFIX_NAME:-default}"
prefix="$(qv_ensure_prefix "$name")" || exit 125
export WINEPREFIX="$prefix"
[[ -n "${QV_LOCALE:-}" ]] && export LC_ALL="$QV_LOCALE"
# One server per prefix for the whole run; the test script ends them all.
# Wine's own background processes (services.exe, winedevice.exe, ...) start
# here, detached from our output: whoever reads it (CTest) would otherwise wait
# for them to end.
if [[ ! -e "$prefix/.qv-started" ]]; then
  "$QV_WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  "$QV_WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  touch "$prefix/.qv-started"
fi
"$QV_WINE" "$@"
rc=$?
# Wine's loader fails before the program prints anything: say so, or the
# failure would look like a silent test.
((rc != 0)) && echo "wine-exec: $1 exited with code $rc in prefix $name" >&2
# A test program's prefix serves that program only: once it passed, the
# prefix (hundreds of megabytes) goes; a failed one stays for a look.
if [[ "${QV_DISPOSABLE_PREFIX:-}" == "1" && $rc -eq 0 ]]; then
  "$QV_WINESERVER" -k 2>/dev/null || true
  rm -rf "${prefix:?}" "$QV_PREFIXES/$name.img" "$QV_PREFIXES/$name.lock"
fi
[[ -n "$private_xvfb" ]] && kill "$private_xvfb" 2>/dev/null
exit $rc
