# A headless desktop for driving Kirvane as a user would: Xvfb, openbox and xdotool.
# Sourced by the end-to-end test and the README screenshot script; both set `work` (a scratch
# folder of their own) and `shots` (where screenshots go) before calling these functions.

E2E_TOOLS=(Xvfb openbox xdotool xprop xwd convert)
E2E_POLL=0.1

# Names of the tools that are not installed.
missing_tools() {
  local t
  for t in "${E2E_TOOLS[@]}" "$@"; do command -v "$t" > /dev/null || printf '%s ' "$t"; done
}

# Installs the build's programs under $work/stage as `make install DESTDIR=...` would, and sets
# `prefix` to the installed tree. With KV_E2E_PREFIX (/usr for the package) that installed
# program is used instead.
stage_install() {
  local build=$1
  if [ -n "${KV_E2E_PREFIX:-}" ]; then
    prefix=$KV_E2E_PREFIX
  else
    prefix=$work/stage/usr/local
    DESTDIR=$work/stage cmake --install "$build" --prefix /usr/local > "$work/install.log"
  fi
  program=$prefix/bin/kirvane
}

# A home of the program's own, so nothing of the user's (settings, trash, a running Kirvane: its
# lock lives in TMPDIR) is seen or touched.
make_home() {
  mkdir -p "$work/home/.config" "$work/home/.local/share" "$work/home/.cache" "$work/tmp" "$work/run"
  chmod 700 "$work/run"
}

# The environment the program runs in: nothing inherited but PATH.
program_env() {
  env -i PATH="$prefix/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp" \
    XDG_DATA_DIRS="$prefix/share:/usr/share" QT_QPA_PLATFORM=xcb "$@"
}

# Runs until `timeout` seconds have passed or the command succeeds; false on timeout.
wait_until() {
  local timeout=$1
  shift
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep "$E2E_POLL"
  done
}

# Xvfb on a free display (it picks the number), then openbox; waits until the window manager runs.
start_desktop() {
  local fifo=$work/display
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1280x800x24}" -nolisten tcp 3> "$fifo" > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local number
  read -r -t 20 number < "$fifo" || fail_early "Xvfb did not start (see $work/xvfb.log)"
  export DISPLAY=":$number"
  openbox --sm-disable > "$work/openbox.log" 2>&1 &
  openbox_pid=$!
  wait_until 20 window_manager_running || fail_early "openbox did not start"
}

window_manager_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'; }

stop_desktop() {
  local pid
  for pid in ${openbox_pid:-} ${xvfb_pid:-}; do kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null; done
  openbox_pid='' xvfb_pid=''
}

# The titles of the visible windows, one a line.
visible_titles() { xdotool search --onlyvisible --name '' getwindowname %@ 2> /dev/null || true; }

# grep reads to the end: a grep -q that stops early would fail the pipeline under pipefail.
# The window manager's active window, the one keys go to.
has_focus() { [ "$(xdotool getactivewindow getwindowname 2> /dev/null)" = "$1" ]; }

has_window() { visible_titles | grep -xF -- "$1" > /dev/null; }
lacks_window() { ! has_window "$1"; }

# The id of the visible window titled exactly $1.
window_id() {
  local id
  for id in $(xdotool search --onlyvisible --name '' 2> /dev/null); do
    [ "$(xdotool getwindowname "$id" 2> /dev/null || true)" = "$1" ] && echo "$id" && return
  done
  return 1
}

# True once the process has ended (a child not yet waited for stays as a zombie).
process_ended() {
  local state
  state=$(ps -o stat= -p "$1") || return 0
  [[ $state == Z* ]]
}

# xwd is quick, so the picture shows the moment of the step; shots_to_png converts them all later.
shot() {
  mkdir -p "$work/shots"
  xwd -root -silent -out "$work/shots/$1.xwd"
}

shots_to_png() {
  local f
  for f in "$work"/shots/*.xwd; do
    [ -e "$f" ] && convert "$f" "$shots/$(basename "$f" .xwd).png"
  done
}

fail_early() {
  echo "e2e: $*" >&2
  exit 1
}
