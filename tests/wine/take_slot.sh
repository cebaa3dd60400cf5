# Sourced by the Wine case runners: take_slot BASE_PREFIX sets slot to a case
# prefix of BASE_PREFIX.slots (made by wine_prefix.sh init) that no other case
# uses, held through a lock on fd 9 until the caller ends, and starts its
# wineserver. Nothing the caller starts may inherit fd 9 (run it with 9>&-):
# a wineserver would hold the slot long after the case.
take_slot() {
  local slots_dir=$1.slots dir
  slot=
  # Waits for a free slot; the test's own time-out bounds the wait.
  while [ -z "$slot" ]; do
    for dir in "$slots_dir"/*/; do
      dir=${dir%/}
      [ -e "$dir/.zuv-prefix-ready" ] || continue
      exec 9> "$dir.lock"
      if flock -n 9; then slot=$dir; break; fi
      exec 9>&-
    done
    if [ -z "$slot" ]; then
      ls "$slots_dir"/*/.zuv-prefix-ready > /dev/null 2>&1 || { echo "no Wine case prefix in $slots_dir"; return 1; }
      sleep 0.2
    fi
  done
  # A case killed earlier may have left its device published.
  rm -f "$slot"/ports/com*
  bash "$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh" start "$slot" 9>&- || {
    echo "the wineserver of $slot did not start"
    return 1
  }
}
