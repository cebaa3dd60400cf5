#!/usr/bin/env bash
# Includes run one way: src/core includes only core, the subsystems include
# core and each other, and only src/shell includes src/shell.
#
#   includes_one_way.sh SRC_DIR
set -u
src=$1
status=0
floor() {
  case $1 in
    core) echo 0 ;;
    shell) echo 2 ;;
    *) echo 1 ;;
  esac
}
while IFS= read -r hit; do
  file=${hit%%:*}
  dir=${file#"$src"/}; dir=${dir%%/*}
  target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<< "$hit")
  [ -d "$src/$target" ] || continue
  if [ "$(floor "$target")" -gt "$(floor "$dir")" ] || { [ "$dir" = core ] && [ "$target" != core ]; }; then
    echo "upward include: ${hit#"$src"/}"
    status=1
  fi
done < <(grep -rn '#include "[^"]*/' "$src" --include='*.h' --include='*.cpp')
[ $status = 0 ] && echo "every include runs from a floor to the same or a lower one"
exit $status
