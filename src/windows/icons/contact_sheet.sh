#!/bin/sh
# Draws the contact sheet of the tray icons from the very .ico files the icon
# library embeds: per icon its id and meaning (the SVG's title), then its images at
# 16, 20, 24 and 32 px as they are, on a light and on a dark taskbar, each with the
# 16 px image enlarged without smoothing, and that image without colour, as a
# monochrome high-contrast theme would leave it.
#   contact_sheet.sh <ico dir> <svg dir> <out.png> <id...>
set -eu
ico=$1 svg=$2 out=$3
shift 3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
font=DejaVu-Sans
light='#eeeeee' dark='#1f1f1f'

# One taskbar: the sizes side by side at their real size, then 16 px enlarged 4 times.
panel() {  # panel <id> <background> <out>
  for size in 16 20 24 32; do
    convert -size 40x72 "xc:$2" "$tmp/$1-$size.png" -gravity center -composite "$tmp/cell-$size.png"
  done
  convert "$tmp/$1-16.png" -filter point -resize 400% "$tmp/big.png"
  convert -size 76x72 "xc:$2" "$tmp/big.png" -gravity center -composite "$tmp/cell-big.png"
  convert "$tmp"/cell-16.png "$tmp"/cell-20.png "$tmp"/cell-24.png "$tmp"/cell-32.png \
    "$tmp/cell-big.png" +append "$3"
}

heading() {  # heading <text> <width> <out>
  convert -size "$2x44" xc:white -font $font -pointsize 13 -fill black -gravity center \
    -annotate +0+0 "$1" "$3"
}
heading "icon id and meaning" 330 "$tmp/h1.png"
heading "light taskbar
16, 20, 24, 32 px; 16 px x4" 236 "$tmp/h2.png"
heading "dark taskbar
16, 20, 24, 32 px; 16 px x4" 236 "$tmp/h3.png"
heading "no colour
16 px x4" 76 "$tmp/h4.png"
convert "$tmp"/h1.png "$tmp"/h2.png "$tmp"/h3.png "$tmp"/h4.png +append "$tmp/row-000.png"

n=1
for id in "$@"; do
  for size in 16 20 24 32; do
    icotool -x -w "$size" -h "$size" -o "$tmp/$id-$size.png" "$ico/$id.ico"
  done
  meaning=$(sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$svg/$id.svg")
  convert -background white -fill black -font $font -size 310x -pointsize 12 \
    caption:"$meaning" "$tmp/meaning.png"
  convert -size 330x72 xc:white -font $font -fill black -pointsize 16 -annotate +10+24 "$id" \
    "$tmp/meaning.png" -geometry +10+32 -composite "$tmp/label.png"
  panel "$id" "$light" "$tmp/light.png"
  panel "$id" "$dark" "$tmp/dark.png"
  convert "$tmp/$id-16.png" -background "$light" -flatten -colorspace Gray -filter point \
    -resize 400% "$tmp/grey.png"
  convert -size 76x72 "xc:$light" "$tmp/grey.png" -gravity center -composite "$tmp/grey.png"
  convert "$tmp/label.png" "$tmp/light.png" "$tmp/dark.png" "$tmp/grey.png" +append \
    "$tmp/row-$(printf %03d $n).png"
  n=$((n + 1))
done
convert "$tmp"/row-*.png -background white -append -bordercolor white -border 8 -depth 8 \
  -strip "$out"
