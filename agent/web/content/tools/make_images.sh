#!/usr/bin/env bash
# Draws the GIF images of the web content with ImageMagick 6.
#
#   agent/web/content/tools/make_images.sh [OUTPUT-DIR]   (default: agent/web/content)
#
# The images are kept in the repository; run this only after changing a
# colour or a shape here (apt-get install imagemagick fonts-liberation).
#
# Shapes are drawn four times larger and scaled down, so their edges are
# smooth; they are flattened on white (the style sheet blends them into
# light backgrounds). Status icons are 32x32 pixels shown at 16x16, so they
# stay sharp on high-density screens; each status has its own shape and
# colour: ok a green circle with a tick, degraded an amber triangle with "!",
# failed a red square with a cross, unknown a grey diamond with "?".
set -euo pipefail
OUT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
IM=/usr/bin/convert   # the ImageMagick program, not another "convert" on PATH
[ -x "$IM" ] || { echo "make_images.sh: ImageMagick is needed (apt-get install imagemagick)" >&2; exit 1; }
BOLD=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
[ -f "$BOLD" ] || { echo "make_images.sh: fonts-liberation is needed" >&2; exit 1; }

GREEN='#1e8e3e'; AMBER='#f0a500'; RED='#d93025'; GREY='#6b7785'
INK='#1f2933'; ACCENT='#1f5fbf'; LINE='#c3cad3'

# icon NAME SIZE DRAW-ARGS...: draws on a 4x canvas of SIZE*4, scales to SIZE.
icon() {
  local name=$1 size=$2; shift 2
  local big=$((size * 4))
  "$IM" -size "${big}x${big}" xc:white "$@" -resize "${size}x${size}" \
        -background white -flatten +dither -colors 64 "$OUT/$name"
}

# 128x128 canvas for the 32x32 status icons.
icon ok.gif 32 \
  -fill "$GREEN" -draw 'circle 64,64 64,6' \
  -fill none -stroke white -strokewidth 14 -draw 'stroke-linecap round stroke-linejoin round polyline 38,66 56,84 90,46'
icon degraded.gif 32 \
  -fill "$AMBER" -stroke "$AMBER" -strokewidth 10 -draw 'polygon 64,10 122,114 6,114' \
  -stroke none -fill "$INK" -draw 'roundrectangle 57,40 71,86 6,6' -draw 'circle 64,100 64,92'
icon failed.gif 32 \
  -fill "$RED" -draw 'roundrectangle 10,10 118,118 18,18' \
  -fill none -stroke white -strokewidth 15 -draw 'stroke-linecap round line 44,44 84,84' -draw 'stroke-linecap round line 84,44 44,84'
icon unknown.gif 32 \
  -fill "$GREY" -stroke "$GREY" -strokewidth 10 -draw 'polygon 64,6 122,64 64,122 6,64' \
  -stroke none -fill white -font "$BOLD" -pointsize 78 -gravity center -annotate +0+4 '?'
# The error pages' warning sign: 64x64, shown at 32x32.
icon warningwhite.gif 64 \
  -fill "$AMBER" -stroke "$AMBER" -strokewidth 20 -draw 'polygon 128,22 244,228 12,228' \
  -stroke none -fill "$INK" -draw 'roundrectangle 114,80 142,172 12,12' -draw 'circle 128,200 128,184'

# Rules of the element list: the outer rule and the quiet one between rows.
"$IM" -size 1x1 xc:'#9aa5b1' "$OUT/pixel_black.gif"
"$IM" -size 1x1 xc:'#e4e7eb' "$OUT/pixel_grey.gif"
"$IM" -size 1x1 xc:white "$OUT/pixel_white.gif"

# The menu button, 230x56 shown at 115x28: at rest (outlined) and under the
# pointer or open (filled with the accent colour).
menu_button() {
  local name=$1 fill=$2 stroke=$3 ink=$4
  "$IM" -size 920x224 xc:white \
    -fill "$fill" -stroke "$stroke" -strokewidth 8 -draw 'roundrectangle 6,6 913,217 40,40' \
    -stroke none -fill "$ink" -font "$BOLD" -pointsize 116 -gravity west -annotate +100+0 'Actions' \
    -draw 'polygon 680,90 770,90 725,144' \
    -resize 230x56 +dither -colors 64 "$OUT/$name"
}
menu_button tcm_menu.gif white "$LINE" "$INK"
menu_button tcm_menu_roll.gif "$ACCENT" "$ACCENT" white

# The web server's home page links the agent with button.gif and a rule
# (Line1.gif); both are shown at their own size there.
"$IM" -size 704x224 xc:white \
  -fill "$ACCENT" -draw 'roundrectangle 4,4 699,219 36,36' \
  -fill none -stroke white -strokewidth 10 -draw 'roundrectangle 52,60 196,164 10,10' \
  -draw 'circle 94,104 94,86' -draw 'circle 154,104 154,86' -draw 'line 70,140 178,140' \
  -stroke none -fill white -font "$BOLD" -pointsize 60 -gravity west \
  -annotate +240-30 'Tape Controller' -annotate +240+34 'Management' \
  -resize 176x56 +dither -colors 64 "$OUT/button.gif"
"$IM" -size 360x2 xc:"$ACCENT" "$OUT/Line1.gif"

for f in ok degraded failed unknown warningwhite pixel_black pixel_grey pixel_white \
         tcm_menu tcm_menu_roll button Line1; do
  echo "$f.gif $(/usr/bin/identify -format "%wx%h" "$OUT/$f.gif")"
done
