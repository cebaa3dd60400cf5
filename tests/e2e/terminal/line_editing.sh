#!/usr/bin/env bash
# Line editing in a real terminal (a tmux pane): Tab completes command words
# and file names, Up recalls the previous line, the history outlives the run,
# long lines and "." keep their rules, the questions of download and firmware
# are edited with their first lines kept on screen, and Ctrl-D ends with
# status 1.
#
#   line_editing.sh ZUVDIGI ZUVSIM
set -u
zuvdigi=$(realpath "$1") sim=$(realpath "$2")
examples=$(realpath "$(dirname "$(realpath "$0")")/../../../examples")
command -v tmux > /dev/null || { echo "skipped: tmux not found (Debian tmux)"; exit 77; }
. "$(dirname "$(realpath "$0")")/tmux_session.sh"
tmp=$(mktemp -d)
sim_pid=
cleanup() {
  tmux_stop
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
status=0
fail() { echo "$*"; status=1; }
keys() { tmux_run send-keys -t zuv "$@"; }
# Until the last line on the screen is the prompt again.
wait_for_prompt() {
  for _ in $(seq 500); do
    [ "$(tmux_screen | grep -v '^ *$' | tail -1)" = "Command>" ] && return 0
    sleep 0.02
  done
  echo "the prompt did not come back"; return 1
}
# The program's exit status, written by the shell that ran it in the pane.
ended_with() {
  for _ in $(seq 250); do [ -s "$tmp/status" ] && { cat "$tmp/status"; return 0; }; sleep 0.02; done
  echo "still running"
}
start() {
  rm -f "$tmp/status"
  tmux_start "$tmp/work" bash -c '"$@"; echo $? > "$0"' "$tmp/status" \
    env XDG_STATE_HOME="$tmp/state" XDG_CONFIG_HOME="$tmp/config" "$zuvdigi"
  tmux_wait_for "Command>" || exit 1
}

mkdir -p "$tmp/work" "$tmp/config/zuvdigi"
cp "$examples/station.cfg" "$examples/filters.rules" "$tmp/work/"
printf ':10010000214601360121470136007EFE09D2190140\n:00000001FF\n' > "$tmp/work/digi.hex"

start
# "conf" becomes "configure " with its blank: the file name then follows it.
keys -l conf; keys Tab; keys -l sta; keys Tab
tmux_wait_for "Command> configure station.cfg" || fail "Tab did not complete the command word and the file name"
keys Enter
tmux_wait_for "Configuration items processed 31" || exit 1
keys Up
tmux_wait_for "Command> configure station.cfg" 2 || fail "Up did not recall the previous line"
keys Enter
tmux_wait_for "Configuration items processed 31" 2 || fail "the recalled line did not run"
tmux_type "."
tmux_wait_for "Configuration items processed 31" 3 || fail "'.' did not repeat the previous line"
tmux_type "$(printf 'a%.0s' $(seq 300))"
tmux_wait_for "Error: unknown command: a" 2 || fail "a long line did not arrive in two pieces"
pieces=$(tmux_run capture-pane -t zuv -p -J | grep -o 'Error: unknown command: a*' | awk '{ print length($4) }' | tr '\n' ' ')
[ "$pieces" = "255 45 " ] || fail "a 300-character line came in pieces of $pieces instead of 255 45"
tmux_type "rules filters.rules"
tmux_wait_for "Rules processed 10, implicit 1" || exit 1
keys C-d
rc=$(ended_with)
[ "$rc" = 1 ] || fail "Ctrl-D at the prompt: $rc instead of status 1"
[ -s "$tmp/state/zuvdigi/history" ] || fail "no history file in \$XDG_STATE_HOME/zuvdigi"
tmux_stop

# A new run recalls the last run's commands, newest first.
exec 3< <(exec "$sim" --link "$tmp/config/zuvdigi/com1" --lifetime 60)
sim_pid=$!
read -r -t 10 -u 3 _ || { echo "zuvsim did not report ready"; exit 1; }
start
keys Up
tmux_wait_for "Command> rules filters.rules" || fail "the history did not survive the restart"
keys C-u
tmux_type "connect 1"
tmux_wait_for "Connected at 19200" || exit 1
tmux_type "download"
tmux_wait_for "Do you want to use the Default Configuration? (yes|no) [no]:" || exit 1
# Up at a question offers no command, so "es" stands alone. Then edited: back
# to its start, "y" in front. A plain terminal would have passed the arrow
# keys on as text, and the answer would not start with y.
keys Up; keys -l es
tmux_wait_for "(yes|no) [no]: es" || fail "Up at the question brought back a command"
keys Left Left; keys -l y; keys Enter
tmux_wait_for "(yes|no) [no]:" 2 || fail "the second question was not asked: the edited answer was not yes"
screen=$(tmux_screen)
grep -q -F 'Warning: Configuration file has not yet been processed!' <<< "$screen" ||
  fail "the question's first line is not on the screen"
grep -q -F 'Do you  want to use the Implicit Rule only without specific rules?' <<< "$screen" ||
  fail "the second question's first line is not on the screen"
keys -l yes; keys Enter
tmux_wait_for "Downloading Rules succeeded" || fail "the download did not run"
tmux_wait_for "Disconnected" || exit 1
keys Up
tmux_wait_for "Command> download" 2 || fail "Up after the questions did not recall the command"
keys C-u
# The firmware's confirmation, edited the same way, and its Enter key.
tmux_type "firmware 1 digi.hex"
tmux_wait_for "Do you want to continue (n or y)? [n]:" || exit 1
keys -l es; keys Left Left; keys -l y; keys Enter
tmux_wait_for "Type the Enter key when you are ready to continue..." || fail "the edited confirmation was not yes"
grep -q -F 'WARNING! The Zuvedidude Firmware is about to be updated!' <<< "$(tmux_screen)" ||
  fail "the warning's first line is not on the screen"
keys Enter
tmux_wait_for "Firmware update succeeded!" || fail "the firmware update did not run"
wait_for_prompt || exit 1
tmux_type "x"
rc=$(ended_with)
[ "$rc" = 0 ] || fail "exit: $rc instead of status 0"
grep -q -x download "$tmp/state/zuvdigi/history" || fail "the history does not hold the commands of the second run"
! grep -q -x -E 'y|yes|es' "$tmp/state/zuvdigi/history" || fail "the history holds an answer to a question"

if [ $status != 0 ]; then echo "screen:"; tmux_screen; fi
[ $status = 0 ] && echo "completion, recall, history, pieces, repeat, edited answers and Ctrl-D behave at a terminal"
exit $status
