#!/bin/sh
# Every caption literal the component writes ("#01109#Dial") has a text in every
# language table, so no caption falls back to its default wording by accident.
#   check_tables.sh <source root>
set -u
root=$1
tables="$root/src/windows/translator/strings"
numbers=$(grep -rhoE '"#[0-9]{5}#' "$root/src/core" | tr -d '"#' | sort -u)
[ -n "$numbers" ] || { echo "no caption literals found under src/core"; exit 1; }
fail=0
for table in "$tables"/*.rc; do
  for n in $numbers; do
    grep -qE "^[[:space:]]*$(echo "$n" | sed "s/^0*//"),[[:space:]]*\"" "$table" ||
      { echo "$(basename "$table"): no text for #$n#"; fail=1; }
  done
done
[ $fail = 0 ] && echo "all $(echo "$numbers" | wc -w) caption literals have texts in every table"
exit $fail
