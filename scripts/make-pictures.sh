#!/usr/bin/env bash
# Draws the tray's pictures (a gold shield on the program's colours) into a
# folder: logo.jpg (pop-up), splash.jpg, about.jpg, status.jpg and tray.ico.
# Usage: make-pictures.sh OUTPUT_FOLDER
# tests/jpeg/test_jpeg.cpp checks sizes and colours drawn here.
set -euo pipefail

out="${1:?usage: make-pictures.sh OUTPUT_FOLDER}"
# The first "convert" on PATH may be a stand-in; ImageMagick's own is this one.
convert=/usr/bin/convert
[[ -x "$convert" ]] || { echo "make-pictures.sh: $convert missing (package imagemagick)" >&2; exit 1; }

navy='#1F4E8C'
gold='#F2B134'
light='#E8EEF6'
green='#2E8B57'

# The shield's outline on a 40x44 grid, scaled by $1 and moved to ($2,$3):
# prints an ImageMagick "polygon" primitive.
shield() {
  local s="$1" ox="$2" oy="$3" pts="" x y
  for xy in 20,0 40,8 38,28 20,44 2,28 0,8; do
    x=${xy%,*}; y=${xy#*,}
    pts+=" $(awk -v v="$x" -v s="$s" -v o="$ox" 'BEGIN{printf "%.1f", v*s+o}'),$(awk -v v="$y" -v s="$s" -v o="$oy" 'BEGIN{printf "%.1f", v*s+o}')"
  done
  echo "polygon$pts"
}

mkdir -p "$out"
tmp="$(mktemp -d "$out/.pictures.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

jpeg() {  # jpeg NAME WxH BACKGROUND DRAW-ARGS...
  local name="$1" size="$2" bg="$3"
  shift 3
  "$convert" -size "$size" "xc:$bg" "$@" -strip -quality 92 "$tmp/$name.jpg"
}

# Pop-up logo, 60x60: shield centred on navy.
jpeg logo 60x60 "$navy" -fill "$gold" -draw "$(shield 1.0 10 8)"
# Splash, 400x250: navy title band, shield on the left, gold foot stripe.
jpeg splash 400x250 "$light" \
  -fill "$navy" -draw "rectangle 0,0 399,59" \
  -fill "$gold" -draw "$(shield 3.0 40 80)" \
  -fill "$gold" -draw "rectangle 0,230 399,249"
# About page, 300x200: large shield centred on navy.
jpeg about 300x200 "$navy" -fill "$gold" -draw "$(shield 3.5 80 23)"
# Status window, 500x120: shield on the left, green "protected" bar.
jpeg status 500x120 "$light" \
  -fill "$gold" -draw "$(shield 2.2 16 12)" \
  -fill "$green" -draw "rectangle 140,40 479,79"

# Tray icon: the shield on a transparent ground at 16, 32 and 48 pixels.
"$convert" -size 96x96 xc:none -fill "$gold" -stroke "$navy" -strokewidth 6 \
  -draw "$(shield 2.0 8 4)" -define icon:auto-resize=48,32,16 "$tmp/tray.ico"

for f in logo.jpg splash.jpg about.jpg status.jpg tray.ico; do
  mv -f "$tmp/$f" "$out/$f"
done
