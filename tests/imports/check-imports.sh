#!/usr/bin/env bash
# Fails when a shipped program imports a system function that Windows XP and
# Server 2003 lack: the loader there refuses the whole program. No outside list
# is needed: every imported name is compiled against the system headers with
# the API level set to XP, by the compiler of the program's own machine type,
# and a name those headers do not declare is a later function. The C runtime's
# own imports are not checked.
#   check-imports.sh BUILD_DIR [ARCH...]     (default: x86_64 i686)
set -euo pipefail

build="${1:?usage: check-imports.sh BUILD_DIR [ARCH...]}"
shift
arches=("$@")
[[ ${#arches[@]} -gt 0 ]] || arches=(x86_64 i686)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

headers=(windows.h winsvc.h psapi.h tlhelp32.h shellapi.h shlobj.h shlwapi.h commctrl.h commdlg.h
  wininet.h wtsapi32.h userenv.h aclapi.h sddl.h wincrypt.h wintrust.h mscat.h softpub.h winver.h
  ole2.h oleauto.h objbase.h mmsystem.h)

# "DLL name" lines, then one "DLL function" line per name imported from it.
imports_of() {
  "$1-w64-mingw32-objdump" -p "$2" | awk '
    /^\tDLL Name:/ { dll = tolower($3); next }
    /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_][A-Za-z0-9_]*$/ { if (dll != "") print dll, $3 }'
}

is_runtime_dll() {
  case "$1" in
    msvcrt.dll|ucrtbase.dll|api-ms-win-crt-*) return 0 ;;
    *) return 1 ;;
  esac
}

failed=0
checked=0
for arch in "${arches[@]}"; do
  compiler="$arch-w64-mingw32-g++-posix"
  for program in "$build/$arch"/ship/*.exe; do
    [[ -f "$program" ]] || { echo "no shipped programs in $build/$arch/ship"; failed=1; continue; }
    source="$work/$arch-$(basename "$program" .exe).cpp"
    {
      for h in "${headers[@]}"; do echo "#include <$h>"; done
      echo "void* const qv_imported[] = {"
      while read -r dll name; do
        is_runtime_dll "$dll" && continue
        echo "  reinterpret_cast<void*>(&::$name), // $dll"
      done < <(imports_of "$arch" "$program")
      echo "};"
    } > "$source"
    count=$(grep -c '^  reinterpret_cast' "$source" || true)
    checked=$((checked + count))
    if ! LC_ALL=C "$compiler" -fsyntax-only -fmax-errors=0 -DWINVER=0x0501 -D_WIN32_WINNT=0x0501 -DPSAPI_VERSION=1 \
        -D_WIN32_IE=0x0600 -x c++ "$source" 2> "$source.err"; then
      later=$(sed -n "s/.*error: '::\([A-Za-z0-9_]*\)' has not been declared.*/\1/p" "$source.err" | sort -u)
      if [[ -z "$later" ]]; then
        echo "$arch $(basename "$program"): the check itself failed to compile:"; cat "$source.err"
      else
        for name in $later; do
          echo "$arch $(basename "$program"): imports $name ($(grep -m1 "&::$name)" "$source" | sed 's/.*\/\/ //')), which Windows XP lacks"
        done
      fi
      failed=1
    fi
    echo "$arch $(basename "$program"): $count system imports checked"
  done
done
if [[ $failed -ne 0 ]]; then
  echo "FAILED: a shipped program would not load on Windows XP or Server 2003"
  exit 1
fi
echo "every shipped program loads on Windows XP ($checked imports checked)"
