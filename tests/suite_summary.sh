#!/usr/bin/env bash
# One line per suite family from CTest's own results: whether it ran, and how
# many of its tests passed, failed and were skipped.
#
#   suite_summary.sh [--as FAMILY] RESULTS.xml...
#
# Each RESULTS.xml is what `ctest --output-junit` wrote. A test belongs to a
# family by its name: wine.* is the Windows program under Wine, fuzz.* the
# fuzzers, everything else native. `--as sanitized` before a file puts all
# of its tests in the sanitized family: the same tests on the sanitized build. A family whose every test was skipped is
# reported as skipped, with the reasons its tests printed on a "skipped: "
# line. Tests CTest did not start because something they need failed (a
# missing program, a failed fixture) count as failed, as CTest counts them.
# Exits 1 when any test failed or a results file is missing.
set -u
usage() { echo "usage: suite_summary.sh [--as sanitized] RESULTS.xml..." >&2; exit 2; }
[ $# -gt 0 ] || usage

status=0
# awk's operands: each file preceded by the assignment of its family (empty:
# by the test names), which awk makes as it reaches it.
operands=()
files=0
forced=
while [ $# -gt 0 ]; do
  case $1 in
    --as) [ "${2:-}" = sanitized ] || usage; forced=$2; shift 2; continue ;;
  esac
  if [ -r "$1" ]; then
    operands+=("forced=$forced" "$1")
    files=$((files + 1))
  else
    echo "no test results in $1"
    status=1
  fi
  forced=
  shift
done

# With no file left, awk must not read standard input.
[ $files -gt 0 ] || operands=(/dev/null)

awk '
function unescape(s) {
  gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s)
  gsub(/&apos;/, "\047", s); gsub(/&amp;/, "\\&", s)
  return s
}
function attribute(line, name,    m) {
  if (match(line, " " name "=\"[^\"]*\"")) {
    m = substr(line, RSTART + length(name) + 3, RLENGTH - length(name) - 4)
    return unescape(m)
  }
  return ""
}
function family_of(name) {
  if (forced != "") return forced
  if (name ~ /^wine\./) return "wine"
  if (name ~ /^fuzz\./) return "fuzz"
  return "native"
}
function note_reason(fam, reason) {
  if (reason == "" || (fam SUBSEP reason) in seen) return
  seen[fam, reason] = 1
  reasons[fam] = reasons[fam] == "" ? reason : reasons[fam] " / " reason
}
function finish_case() {
  if (current == "") return
  if (outcome == "skipped") note_reason(current, reason)
  count[current, outcome]++
  current = ""
}
/^[ \t]*<testcase / {
  finish_case()
  current = family_of(attribute($0, "name"))
  st = attribute($0, "status")
  # "notrun" is a skip only when the test itself said so (SKIP_RETURN_CODE,
  # SKIP_REGULAR_EXPRESSION); otherwise CTest could not start it: a failure.
  outcome = st == "run" ? "passed" : st == "disabled" ? "skipped" : "failed"
  reason = ""; in_output = 0
  next
}
current != "" && !in_output && /^[ \t]*<skipped / {
  if (attribute($0, "message") ~ /^SKIP_/) outcome = "skipped"
  next
}
current != "" && /<system-out>/ { in_output = 1; sub(/.*<system-out>/, "") }
current != "" && in_output {
  line = $0
  done = sub(/<\/system-out>.*/, "", line)
  if (reason == "" && line ~ /^skipped: /) reason = unescape(substr(line, 10))
  if (done) in_output = 0
  next
}
/^[ \t]*<\/testcase>/ { finish_case() }
END {
  finish_case()
  split("native wine sanitized fuzz", order, " ")
  label["native"] = "native:"; label["wine"] = "windows under wine:"
  label["sanitized"] = "sanitized:"; label["fuzz"] = "fuzz:"
  failed_any = 0
  for (i = 1; i <= 4; i++) {
    f = order[i]
    p = count[f, "passed"] + 0; x = count[f, "failed"] + 0; s = count[f, "skipped"] + 0
    if (x > 0) failed_any = 1
    if (p + x + s == 0) line = "not run (no results)"
    else if (p + x == 0) line = "skipped" (reasons[f] == "" ? "" : " (" reasons[f] ")")
    else {
      line = sprintf("ran, %d passed, %d failed, %d skipped", p, x, s)
      if (reasons[f] != "") line = line " (skipped: " reasons[f] ")"
    }
    printf "%-19s %s\n", label[f], line
  }
  exit failed_any
}' "${operands[@]}" || status=1
exit $status
