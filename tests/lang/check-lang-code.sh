#!/usr/bin/env bash
# Checks that every language key the tray's code looks up is in its section of
# every shipped language file. The code names each key as a section constant
# and a literal (kLangGui, "tray_stat") in its calls and tables; this script
# collects those pairs from tray/ and looks for each in the files.
# Usage: tests/lang/check-lang-code.sh [repository root] [folder of the shipped .lng files]
set -uo pipefail

root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
shipped="${2:-$root/lang}"
problems=0

pairs="$(grep -rhoP '\bkLang(Info|Gui|Arun|Global)\s*,\s*"[^"]+"' "$root/tray" --include='*.cpp' --include='*.h' |
  sed -E 's/kLang([A-Za-z]+)[[:space:]]*,[[:space:]]*"([^"]+)"/\1\t\2/' |
  awk -F'\t' '{ print tolower($1) "\t" $2 }' | LC_ALL=C sort -u)"
count="$(printf '%s\n' "$pairs" | grep -c . || true)"
if ((count < 50)); then
  echo "check-lang-code: only $count keys found in $root/tray; the pattern no longer matches the code" >&2
  exit 1
fi

ini_keys() {
  awk '
    { sub(/\r$/, "") }
    /^[ \t]*;/ || /^[ \t]*$/ { next }
    /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\][ \t]*$/, "", s); section = s; next }
    index($0, "=") > 0 { k = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k); printf "%s\t%s\n", section, k }
  ' "$1" | LC_ALL=C sort -u
}

for name in Russian.lng English.lng; do
  file="$shipped/$name"
  if [[ ! -f "$file" ]]; then
    echo "check-lang-code: $file missing" >&2
    problems=$((problems + 1))
    continue
  fi
  missing="$(LC_ALL=C comm -23 <(printf '%s\n' "$pairs") <(ini_keys "$file"))"
  if [[ -n "$missing" ]]; then
    echo "check-lang-code: $name lacks keys the tray looks up:" >&2
    printf '%s\n' "$missing" | awk -F'\t' '{ print "  [" $1 "] " $2 }' >&2
    problems=$((problems + 1))
  fi
done

((problems == 0)) || exit 1
echo "check-lang-code: all $count keys the tray looks up are in Russian.lng and English.lng ($shipped)"
