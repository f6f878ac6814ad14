# Sourced by the install checks: the installed window program started the way
# a file manager's "Open with" starts it. Needs the caller's fail function.

# start_like_open_with PROGRAM PICTURE HOME LOG SECONDS
# Runs PROGRAM on PICTURE on the offscreen platform with HOME as the user's
# home (settings in HOME/.config). It must come up with the picture and keep
# running; it stops itself only when closed, so it is ended after SECONDS.
start_like_open_with() {
  local program=$1 picture=$2 home=$3 log=$4 seconds=$5 status=0
  HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen \
    timeout "$seconds" "$program" "$picture" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 124 ]; then
    cat "$log" >&2
    fail "the installed calmora ended by itself (status $status) instead of showing the picture"
  fi
}

# remembers_folder HOME FOLDER: true when the program remembered FOLDER as
# the last one it opened from, in HOME's settings.
remembers_folder() {
  [ "$(cat "$1/.config/calmora/InitFoldername" 2>/dev/null || true)" = "\"$2\""$'\r' ]
}
