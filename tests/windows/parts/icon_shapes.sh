#!/bin/sh
# Every two tray icons differ in shape at 16 px, not in colour alone: each icon's
# outline (where it is opaque) and its light drawing (what stays white once the
# colour is gone) are compared, and any two must differ in at least 12 of the 256
# pixels (the three talking icons, told apart by one small mark, differ in 15).
#   icon_shapes.sh <ico dir> <id...>
set -u
ico=$1
shift
minimum=12  # of the 256 pixels of a 16 px icon
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for id in "$@"; do
  icotool -x -w 16 -h 16 -o "$tmp/$id.png" "$ico/$id.ico" || { echo "no 16 px image in $id.ico"; exit 1; }
  convert "$tmp/$id.png" -alpha extract -threshold 50% "$tmp/outline.png"
  convert "$tmp/$id.png" -background black -alpha remove -colorspace Gray -threshold 75% \
    "$tmp/light.png"
  convert "$tmp/outline.png" "$tmp/light.png" +append "$tmp/shape-$id.png"
done
fail=0 closest=512
while [ $# -gt 1 ]; do
  a=$1
  shift
  for b in "$@"; do
    d=$(compare -metric AE "$tmp/shape-$a.png" "$tmp/shape-$b.png" null: 2>&1)
    d=${d%% *}
    [ "$d" -lt "$closest" ] && closest=$d
    [ "$d" -lt $minimum ] && { echo "$a and $b differ in $d pixels at 16 px"; fail=1; }
  done
done
[ $fail = 0 ] && echo "every two icons differ in at least $closest pixels at 16 px"
exit $fail
