#!/bin/sh
# Builds docs/tray-icons.png from a screenshot of Wine's tray: the tray window as
# it is, then one row per state with that icon cut from the screenshot, enlarged
# without smoothing so every pixel the tray drew stays visible.
#   tray_gallery.sh <screen.png> <rects.txt> <out.png>
set -eu
screen=$1 rects=$2 out=$3
dir=$(mktemp -d)
label() {
  case $1 in
    10021) echo "Not available" ;;       10022) echo "Not connected" ;;
    10011) echo "Idle" ;;                10031) echo "Ringing (frame 1)" ;;
    10032) echo "Ringing (frame 2)" ;;   10041) echo "Calling / on hold" ;;
    10051) echo "Talking (incoming)" ;;  10052) echo "Talking" ;;
    10053) echo "Talking (outgoing)" ;;  10061) echo "Forwarded" ;;
    10071) echo "Information" ;;         10081) echo "Telephone (spare)" ;;
    10091) echo "Hover: answer" ;;       10101) echo "Hover: hang up" ;;
    10111) echo "Voice messages (frame 1)" ;; 10112) echo "Voice messages (frame 2)" ;;
    1010) echo "Component" ;;            1661) echo "Client telephone" ;;
    *) echo "$1" ;;
  esac
}
font=DejaVu-Sans
first=$(head -n 1 "$rects") last=$(tail -n 1 "$rects")
set -- $first; x0=$2 y0=$3 h=$5
set -- $last; x1=$(($2 + $4))
convert "$screen" -crop "$((x1 - x0))x${h}+${x0}+${y0}" +repage "$dir/tray.png"
convert -background white -fill black -font $font -pointsize 15 \
  label:"Wine's tray under Xvfb, actual size:" "$dir/tray.png" -gravity west -splice 8x0 \
  -append -bordercolor white -border 6 "$dir/000.png"
n=1
while read -r id x y w h; do
  convert "$screen" -crop "${w}x${h}+${x}+${y}" +repage -filter point -resize 400% \
    -bordercolor '#d0d0d0' -border 1 "$dir/icon.png"
  convert -background white -fill black -font $font -pointsize 18 \
    "$dir/icon.png" label:"  $id  $(label "$id")" -gravity center +append \
    -bordercolor white -border 4 "$dir/$(printf %03d $n).png"
  n=$((n + 1))
done <"$rects"
convert "$dir"/[0-9][0-9][0-9].png -background white -gravity west -append -depth 8 "$out"
rm -rf "$dir"
