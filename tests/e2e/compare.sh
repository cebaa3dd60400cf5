# Sourced by the transcript runners (run_golden.sh, link/run_link.sh): how a
# run is set against its recorded case and how a difference is reported. Each
# check prints what differs and returns 1, or returns 0 silently.

# A Windows console in text mode writes CR LF; with ZUV_GOLDEN_CRLF=1 the
# captured FILE is turned back into LF so one recording serves both platforms.
normalize_line_ends() {
  local file=$1
  if [ -n "${ZUV_GOLDEN_CRLF:-}" ]; then
    sed 's/\r$//' "$file" > "$file.lf" && mv "$file.lf" "$file"
  fi
}

# compare_text WHAT EXPECTED ACTUAL LINES: byte for byte; a difference is shown
# through cat -A, so BEL, CR and trailing blanks are visible, at most LINES lines.
compare_text() {
  local what=$1 expected=$2 actual=$3 lines=$4
  cmp -s "$expected" "$actual" && return 0
  echo "$what differs from $expected (cat -A view, - expected, + actual):"
  diff <(cat -A "$expected") <(cat -A "$actual") | head -"$lines"
  return 1
}

# compare_exit_status GOT WANT
compare_exit_status() {
  [ "$1" = "$2" ] && return 0
  echo "exit status $1, expected $2"
  return 1
}
