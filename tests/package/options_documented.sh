#!/usr/bin/env bash
# Every option a program's --help lists is explained in its manual page and
# named in the README, so the three never drift apart.
#
#   options_documented.sh SOURCE_DIR PROGRAM MAN_PAGE
set -u
src=$1 program=$2 page=$3
status=0
options=$("$program" --help | grep -o -E -- '--[a-z][a-z0-9-]*' | sort -u)
[ -n "$options" ] || { echo "$program --help lists no options"; exit 1; }
manual=$(sed 's/\\-/-/g; s/\\f[BIPR]//g' "$src/doc/$page.in")
for option in $options; do
  [ "$option" = --help ] && continue
  grep -q -E -- "(^|[^a-z-])$option([^a-z-]|\$)" <<< "$manual" || { echo "$page does not explain $option"; status=1; }
  grep -q -F -- "\`$option" "$src/README.md" || { echo "README.md does not name $option"; status=1; }
done
[ $status = 0 ] && echo "every option of $(basename "$program") is in $page and the README: $(echo $options)"
exit $status
