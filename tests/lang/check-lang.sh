#!/usr/bin/env bash
# Checks the shipped language files against the list of keys the programs
# look up (tests/lang/language_keys.txt, "section<TAB>key" per line):
#  - every listed key is present, with exactly that spelling, in its section
#    of every language file;
#  - each file has the sections info, gui, arun and global, and no key occurs
#    twice in a section (the INI reader compares keys without regard to case
#    and takes the first one, so a second copy would be dead text);
#  - no file starts with a byte-order mark (it would hide the first section
#    from the INI reader);
#  - Russian.lng converts to code page 1251 and back without loss, and
#    English.lng is plain ASCII (it is shipped as it is).
# Usage: tests/lang/check-lang.sh [repository root]. Exits 1 and lists every
# problem when something is wrong.
set -uo pipefail

root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
keys_file="$root/tests/lang/language_keys.txt"
lang_dir="$root/lang"
files=(Russian.lng English.lng)
problems=0

fail() {
  printf '%s\n' "$*" >&2
  problems=$((problems + 1))
}

# Prints "section<TAB>key" for every key line of an INI file, in file order.
ini_keys() {
  awk '
    { sub(/\r$/, "") }
    /^[ \t]*;/ || /^[ \t]*$/ { next }
    /^[ \t]*\[/ {
      s = $0
      sub(/^[ \t]*\[/, "", s); sub(/\][ \t]*$/, "", s)
      section = s
      next
    }
    index($0, "=") > 0 {
      k = substr($0, 1, index($0, "=") - 1)
      gsub(/^[ \t]+|[ \t]+$/, "", k)
      printf "%s\t%s\n", section, k
    }
  ' "$1"
}

ini_sections() {
  awk '{ sub(/\r$/, "") } /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\][ \t]*$/, "", s); print s }' "$1"
}

if [[ ! -s "$keys_file" ]]; then
  echo "check-lang: key list $keys_file is missing or empty" >&2
  exit 1
fi
if grep -qvP '^(info|gui|arun|global)\t[A-Za-z0-9_]+$' "$keys_file"; then
  fail "check-lang: malformed lines in $keys_file:"
  grep -nvP '^(info|gui|arun|global)\t[A-Za-z0-9_]+$' "$keys_file" >&2
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
LC_ALL=C sort -u "$keys_file" > "$tmp/wanted"

for name in "${files[@]}"; do
  file="$lang_dir/$name"
  if [[ ! -f "$file" ]]; then
    fail "$name: file missing ($file)"
    continue
  fi

  if [[ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' \n')" == "efbbbf" ]]; then
    fail "$name: starts with a UTF-8 byte-order mark"
  fi

  ini_sections "$file" > "$tmp/sections"
  for section in info gui arun global; do
    grep -qxF "$section" "$tmp/sections" || fail "$name: section [$section] missing"
  done

  ini_keys "$file" > "$tmp/have.raw"
  dups="$(awk -F'\t' '{ id = $1 "\t" tolower($2); if (seen[id]++) print "  [" $1 "] " $2 }' "$tmp/have.raw")"
  [[ -z "$dups" ]] || fail "$name: keys defined twice in a section:"$'\n'"$dups"

  LC_ALL=C sort -u "$tmp/have.raw" > "$tmp/have"
  missing="$(LC_ALL=C comm -23 "$tmp/wanted" "$tmp/have" | awk -F'\t' '{ print "  [" $1 "] " $2 }')"
  [[ -z "$missing" ]] || fail "$name: missing keys:"$'\n'"$missing"
done

russian="$lang_dir/Russian.lng"
if [[ -f "$russian" ]]; then
  if ! iconv -f UTF-8 -t CP1251 "$russian" > "$tmp/ru.cp1251" 2> "$tmp/iconv.err"; then
    fail "Russian.lng: does not convert to CP1251: $(cat "$tmp/iconv.err")"
  elif ! iconv -f CP1251 -t UTF-8 "$tmp/ru.cp1251" | cmp -s - "$russian"; then
    fail "Russian.lng: CP1251 conversion is not lossless"
  fi
fi

english="$lang_dir/English.lng"
if [[ -f "$english" ]] && LC_ALL=C grep -qP '[^\x00-\x7F]' "$english"; then
  fail "English.lng: non-ASCII characters on lines:"$'\n'"$(LC_ALL=C grep -nP '[^\x00-\x7F]' "$english")"
fi

if ((problems > 0)); then
  echo "check-lang: $problems problem(s) found" >&2
  exit 1
fi
echo "check-lang: $(wc -l < "$tmp/wanted") keys present in ${#files[@]} language files; Russian.lng converts to CP1251"
