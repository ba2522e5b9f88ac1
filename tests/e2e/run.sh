#!/usr/bin/env bash
# End-to-end test of the installed program, driven as a user would drive it.
#   tests/e2e/run.sh BUILD_DIR
# Installs the build into a staging folder, checks the desktop files, starts that Kirvane under
# Xvfb + openbox with a home of its own, lists a folder of sample pictures, runs the slideshow
# (Enter, Alt+Right, Alt+Left, Esc), copies a file through 編集 > フォルダへコピー answering the
# folder chooser by typing, opens a file the way the menu entry does (handed to the running
# window), ends through ファイル > 終了 and checks the copy, kirvane.ini and folder.txt.
# A screenshot of each step goes to BUILD_DIR/e2e/. Exit status 0 passed, 1 failed, 77 skipped
# (tools or samples missing; with KV_E2E_REQUIRED=1, as in CI, that fails instead).
# KV_E2E_PREFIX=/usr tests the program installed there (the package) instead of the build.
set -euo pipefail
export LC_ALL=C.UTF-8  # window titles and paths hold Japanese text

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
corpus=${KV_SHARED_DIR:-$here/../../../shared}/corpus/formats
source "$here/desktop.sh"

skip() {
  if [ "${KV_E2E_REQUIRED:-0}" = 1 ]; then fail_early "cannot run: $*"; fi
  echo "e2e: skipped: $*"
  exit 77
}
missing=$(missing_tools desktop-file-validate appstream-util man)
[ -z "$missing" ] || skip "missing ${missing}(scripts/install-deps.sh e2e)"
[ -d "$corpus" ] || skip "no sample pictures in $corpus"

shots=$build/e2e
rm -rf "$shots"
mkdir -p "$shots"
work=$(mktemp -d /tmp/kirvane-e2e.XXXXXX)
kirvane_pid=''
step='setting up'

cleanup() {
  local status=$?
  [ -n "$kirvane_pid" ] && kill "$kirvane_pid" 2> /dev/null
  stop_desktop
  shots_to_png
  cp "$work"/*.log "$work"/home/.config/kirvane/* "$shots"/ 2> /dev/null || true
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

begin() {
  step=$1
  echo "e2e: ${SECONDS}s $step"
}

# A step that does not reach its condition in time fails with a screenshot of the screen.
expect() {
  local timeout=$1 what=$2
  shift 2
  wait_until "$timeout" "$@" && return
  echo "e2e: FAILED at '$step': $what (waited ${timeout}s)" >&2
  echo "e2e: visible windows:" >&2
  visible_titles | grep . | sed 's/^/    /' >&2 || true
  [ -n "${DISPLAY:-}" ] && shot "FAILED" || true
  exit 1
}

# Presses keys until the title shows: the slideshow drops keys that arrive while a picture
# loads, and a key that was taken makes the title change, after which nothing is resent.
press_until_window() {
  local title=$1 try
  shift
  for try in 1 2 3; do
    xdotool key "$@"
    wait_until 5 has_window "$title" && return
  done
  expect 1 "no window titled '$title' after pressing $*" has_window "$title"
}

# ---- installed files ----
begin 'install'
stage_install "$build"
share=$prefix/share
desktop_file=$share/applications/kirvane.desktop
desktop-file-validate "$desktop_file"
appstream-util validate-relax --nonet "$share/metainfo/kirvane.metainfo.xml" > /dev/null
# Each MIME type must be one the shared MIME database knows, or no file manager offers Kirvane.
for type in $(sed -n 's/^MimeType=//p' "$desktop_file" | tr ';' ' '); do
  grep -qxF "$type" /usr/share/mime/types || fail_early "$desktop_file: unknown MIME type $type"
done
for page in kirvane kirvane-cli; do
  warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$share/man/man1/$page.1" 2>&1 > /dev/null) ||
    fail_early "man page $page.1 missing or unreadable"
  [ -z "$warnings" ] || fail_early "man page $page.1: $warnings"
done
[ -x "$prefix/bin/kirvane-cli" ] || fail_early "kirvane-cli missing"
[ -f "$share/icons/hicolor/scalable/apps/kirvane.svg" ] || fail_early "icon missing"

# ---- samples and the desktop ----
pics=$work/ピクチャ/
dest=$work/dest/
mkdir -p "$pics" "$dest"
samples=(a-rgb24.bmp b-16color.pcx c-hopper.psd d-hopper.ppm e-hopper.sgi)
cp "$corpus/bmp/rgb24.bmp" "$pics/${samples[0]}"
cp "$corpus/pcx/16color.pcx" "$pics/${samples[1]}"
cp "$corpus/psd/hopper.psd" "$pics/${samples[2]}"
cp "$corpus/netpbm/hopper_8bit.ppm" "$pics/${samples[3]}"
cp "$corpus/sgi/hopper.sgi" "$pics/${samples[4]}"
make_home
start_desktop

# ---- list the folder ----
begin 'list the folder'
program_env "$program" "$pics" > "$work/kirvane.log" 2>&1 &
kirvane_pid=$!
main_title="$pics - Kirvane"
expect 30 "the main window shows $pics" has_window "$main_title"
expect 10 "the main window has the keyboard" has_focus "$main_title"
shot 01-listed

# ---- slideshow ----
begin 'start the slideshow'
main=$(window_id "$main_title")
eval "$(xdotool getwindowgeometry --shell "$main")"
slide_title() { echo "${samples[$1]} $pics - Kirvane"; }
# Any window of the program other than the main window: the slideshow, however far it got.
other_window() { visible_titles | grep -e 'Kirvane$' | grep -vxF -- "$main_title" > /dev/null; }
# The pointer over the file list gives it the keyboard; Home focuses the first file. Should the
# listing still run, Enter finds no file, nothing opens, and both are pressed again.
for try in 1 2 3; do
  xdotool mousemove "$((X + WIDTH * 7 / 10))" "$((Y + HEIGHT / 2))" mousemove_relative 3 3
  xdotool key Home Return
  wait_until 10 other_window && break
done
expect 20 "Enter on the first file starts the slideshow" has_window "$(slide_title 0)"
expect 10 "the slideshow has the keyboard" has_focus "$(slide_title 0)"
shot 02-slideshow-first

begin 'step forward'
press_until_window "$(slide_title 1)" alt+Right
shot 03-slideshow-second

begin 'step back'
press_until_window "$(slide_title 0)" alt+Left
shot 04-slideshow-back

begin 'end the slideshow'
xdotool key Escape
expect 10 "Esc ends the slideshow" lacks_window "$(slide_title 0)"
expect 10 "the main window has the keyboard again" has_focus "$main_title"
shot 05-slideshow-ended

# ---- copy through the edit menu ----
begin 'copy'
chooser='コピー先フォルダを選択'
# One xdotool call: Qt gives the second key to the menu the first one opened.
xdotool key alt+e o
expect 10 "編集 > フォルダへコピー opens the folder chooser" has_focus "$chooser"
xdotool type --delay 5 "$dest"
shot 06-folder-chooser
xdotool key Return
copied=$dest${samples[0]}
expect 10 "the chooser closes" lacks_window "$chooser"
expect 20 "${samples[0]} is copied to $dest" cmp -s "$pics/${samples[0]}" "$copied"
shot 07-copied

# ---- a file opened from the desktop menu goes to the running window ----
begin 'open from the desktop entry'
read -r -a exec_line <<< "$(sed -n 's/^Exec=//p' "$desktop_file")"
exec_line=("${exec_line[@]/\%f/$copied}")
program_env timeout 30 "${exec_line[@]}" > "$work/second.log" 2>&1 ||
  fail_early "the second start ended with status $? (see second.log)"
expect 20 "the running window shows $dest" has_window "$dest - Kirvane"
expect 10 "the main window has the keyboard" has_focus "$dest - Kirvane"
shot 08-handed-over
# The file handed over has the focus: Enter shows it.
press_until_window "${samples[0]} $dest - Kirvane" Return
shot 09-handed-over-slideshow
xdotool key Escape
expect 10 "Esc ends the slideshow" lacks_window "${samples[0]} $dest - Kirvane"
expect 10 "the main window has the keyboard again" has_focus "$dest - Kirvane"

# ---- exit through the file menu ----
begin 'exit'
xdotool key alt+f x
expect 20 "ファイル > 終了 ends the program" process_ended "$kirvane_pid"
wait "$kirvane_pid" || fail_early "kirvane ended with status $?"
kirvane_pid=''

# ---- what it wrote ----
begin 'check the files'
config=$work/home/.config/kirvane
grep -qxF "CommonSendPath=$dest"$'\r' "$config/kirvane.ini" || fail_early "kirvane.ini lacks CommonSendPath=$dest"
# A folder joins the recent folders when a slideshow starts there.
printf '%s\r\n' "$dest" "$pics" | cmp -s - "$config/folder.txt" ||
  fail_early "folder.txt is not '$dest', '$pics': $(od -c "$config/folder.txt" | head -5)"
[ ! -e "$prefix/bin/kirvane.ini" ] || fail_early "the installed program wrote its settings beside itself"
echo "e2e: passed ($SECONDS s); screenshots in $shots"
