#!/usr/bin/env bash
# A configuration file whose lines carry terminal control sequences, read at a
# real terminal: the pane's title and the screen stay as they were, and the
# messages and the display show the sequences as ^[ and ^G. The same files
# given to --check.
#
#   visible_control_bytes.sh ZUVDIGI FIXTURE_DIR
set -u
zuvdigi=$(realpath "$1") fixtures=$(realpath "$2")
command -v tmux > /dev/null || { echo "skipped: tmux not found (Debian tmux)"; exit 77; }
. "$(dirname "$(realpath "$0")")/tmux_session.sh"
status=0
fail() { echo "$*"; status=1; }

tmux_start "$fixtures" "$zuvdigi"
tmux_wait_for "Command>" || exit 1
title_before=$(tmux_title)

tmux_type "configure osc_title.cfg"
tmux_wait_for "Command>" 2 || exit 1
[ "$(tmux_title)" = "$title_before" ] || fail "the file retitled the pane: '$(tmux_title)'"
tmux_screen | grep -q -F 'command ^[]0;PWNED^G invalid: ^[]0;PWNED^G call N0CALL' ||
  fail "the offending line is not shown with ^[ and ^G"

tmux_type "configure cursor_moves.cfg"
tmux_wait_for "Command>" 3 || exit 1
tmux_type "dconfigure"
tmux_wait_for "Command>" 4 || exit 1
screen=$(tmux_screen)
grep -q -F 'Zuvedidude PC Host Digi Utility Version 2.8' <<< "$screen" || fail "the screen was cleared"
grep -q -F 'too long: call ^[[1A^[[2KTOOLONGCALL' <<< "$screen" || fail "the cursor moves are not shown"
grep -q -F 'Beacon Comment: ^[[2J^[[Hgone' <<< "$screen" || fail "the stored comment is not shown with ^["
[ "$(tmux_title)" = "$title_before" ] || fail "the pane's title changed: '$(tmux_title)'"

tmux_stop
tmux_start "$fixtures" bash -c '"$@"; echo "check ended with $?"; sleep 60' - \
  "$zuvdigi" --check osc_title.cfg cursor_moves.cfg
tmux_wait_for "check ended with 1" || exit 1
screen=$(tmux_screen)
[ "$(tmux_title)" = "$title_before" ] || fail "--check let the file retitle the pane: '$(tmux_title)'"
grep -q -F 'osc_title.cfg:1: error: command ^[]0;PWNED^G invalid: ^[]0;PWNED^G call N0CALL' <<< "$screen" ||
  fail "--check does not show the offending line with ^[ and ^G"
grep -q -F 'cursor_moves.cfg:3: error: invalid Call Sign argument: too long: call ^[[1A^[[2KTOOLONGCALL' <<< "$screen" ||
  fail "--check does not show the cursor moves"

if [ $status != 0 ]; then echo "screen:"; tmux_screen; fi
[ $status = 0 ] && echo "control sequences from the file were shown, not obeyed"
exit $status
