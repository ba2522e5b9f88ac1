#!/usr/bin/env bash
# Takes the README's screenshots (docs/*.png) of the installed program under Xvfb: the main
# window, the slideshow in a window and the options dialog, with Japanese texts.
#   scripts/readme-screenshots.sh [BUILD_DIR]     (needs: scripts/install-deps.sh desktop)
# Not a test: it waits a moment where the program shows nothing a script could wait for.
set -euo pipefail
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
corpus=${KV_SHARED_DIR:-$root/../shared}/corpus/formats
source "$root/tests/e2e/desktop.sh"
missing=$(missing_tools)
[ -z "$missing" ] || fail_early "missing ${missing}(scripts/install-deps.sh desktop)"
[ -d "$corpus" ] || fail_early "no sample pictures in $corpus (set KV_SHARED_DIR)"

# /var/tmp rather than /tmp: the folder tree in the pictures shows the folders around this one.
work=/var/tmp/kirvane-readme
mkdir "$work" || fail_early "$work is there already: another run, or one that left it"
kirvane_pid=''
cleanup() {
  [ -n "$kirvane_pid" ] && kill "$kirvane_pid" 2> /dev/null
  stop_desktop
  rm -rf "$work"
}
trap cleanup EXIT

step() { wait_until 30 "$@" || { visible_titles | grep . >&2; fail_early "timed out: $*"; }; }

# A window with its frame, made small for the README.
window_shot() {
  local id
  id=$(window_id "$2")
  xdotool mousemove 0 0  # no tooltip or hover in the picture
  import -frame -window "$id" "$work/$1-full.png"
  convert "$work/$1-full.png" -resize '800x600>' +dither -colors 256 -strip PNG8:"$root/docs/$1.png"
}

stage_install "$build"
make_home
pics=$work/Pictures/
mkdir -p "$pics"
while read -r from to; do cp "$corpus/$from" "$pics/$to"; done << 'LIST'
psd/birthday.pdd birthday.pdd
pcx/dice_rgba.pcx dice.pcx
netpbm/hopper_8bit.ppm hopper.ppm
sgi/hopper.sgi hopper.sgi
ico/python.ico python.ico
psd/psd_rgba_8.psd road.psd
tiff/libtiff_quad-tile.jpg.tiff shapes.tif
LIST
# The slideshow in a window, the whole picture fitted to it.
mkdir -p "$work/home/.config/kirvane"
printf '[SlideShow]\r\nFormFullScreen=0\r\nImgSizeAdjustment=2\r\n' > "$work/home/.config/kirvane/kirvane.ini"
E2E_SCREEN=1024x768x24 start_desktop

program_env env LANG=ja_JP.UTF-8 "$program" "$pics" > "$work/kirvane.log" 2>&1 &
kirvane_pid=$!
main_title="$pics - Kirvane"
step has_focus "$main_title"
eval "$(xdotool getwindowgeometry --shell "$(window_id "$main_title")")"
xdotool mousemove "$((X + WIDTH * 7 / 10))" "$((Y + HEIGHT / 2))" mousemove_relative 3 3
sleep 1             # the listing ends on a worker
xdotool key Home Down Down Down Down Down  # road.psd, a photograph
sleep 2             # so does the preview
mkdir -p "$root/docs"
window_shot main-window "$main_title"

# The first picture of a slideshow is not fitted to the window yet: step away and back.
xdotool key Return
step has_focus "road.psd $pics - Kirvane"
xdotool key alt+Right
step has_focus "shapes.tif $pics - Kirvane"
xdotool key alt+Left
step has_focus "road.psd $pics - Kirvane"
sleep 1
window_shot slideshow "road.psd $pics - Kirvane"
xdotool key Escape
step has_focus "$main_title"

xdotool key alt+t o
step has_focus 'オプション'
window_shot options 'オプション'
echo "screenshots: $(ls "$root"/docs/*.png | tr '\n' ' ')"
