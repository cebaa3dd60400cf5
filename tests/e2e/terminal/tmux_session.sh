# Sourced by the terminal tests: the program in a real terminal, a tmux pane
# of a private tmux server, driven by send-keys and read by capture-pane.
#
#   tmux_start DIR COMMAND...   starts COMMAND in DIR in a 160x80 pane
#   tmux_type TEXT              types TEXT, then Enter
#   tmux_wait_for TEXT [N]      waits until the screen shows TEXT at least N times
#                               (capture-pane drops blanks at line ends)
#   tmux_screen                 prints the screen
#   tmux_title                  prints the pane's title
#   tmux_stop                   ends the server (also at exit)
tmux_socket=zuv-test-$$-$RANDOM
tmux_run() { tmux -L "$tmux_socket" -f /dev/null "$@"; }
tmux_stop() { tmux_run kill-server 2>/dev/null; true; }
trap tmux_stop EXIT

tmux_start() {
  local dir=$1; shift
  local cmd
  printf -v cmd '%q ' "$@"
  tmux_run new-session -d -s zuv -x 160 -y 80 "cd $(printf '%q' "$dir") && exec $cmd"
  tmux_run set-option -t zuv remain-on-exit on > /dev/null
}
tmux_type() {
  tmux_run send-keys -t zuv -l "$1"
  tmux_run send-keys -t zuv Enter
}
tmux_screen() { tmux_run capture-pane -t zuv -p; }
tmux_title() { tmux_run display-message -t zuv -p '#{pane_title}'; }
tmux_wait_for() {
  local text=$1 count=${2:-1}
  for _ in $(seq 500); do
    [ "$(tmux_screen | grep -c -F -- "$text")" -ge "$count" ] && return 0
    sleep 0.02
  done
  echo "the screen never showed '$text' $count times:"; tmux_screen
  return 1
}
