#!/usr/bin/env bash
# Rebuilds the small JPEG, PNG, TIFF and raw fax samples of the decoder tests (tests/data/jpeg,
# png, tiff, fax) and prints, for each, its size and the pixel digest of a decode by another
# program, in the form the test tables take:
#   {"file", width, height, "digest", "tool"},
# The tools: ImageMagick 6 (`convert FILE -depth 8 rgba:-`) where its 8-bit output is exact;
# netpbm (`pngtopam | pamdepth 255`) for 16-bit PNG, whose samples ImageMagick rounds differently;
# for the fax streams the page they were encoded from. Needs imagemagick, netpbm,
# libjpeg-turbo-progs, python3-pil and a C compiler with libjpeg. Output is deterministic.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
refdigest=$here/../support/refdigest.py
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$here/jpeg" "$here/png" "$here/tiff" "$here/fax"
PY=/usr/bin/python3

# PAM/PNM on stdin to 8-bit RGBA on stdout (format conversion only; the decode is netpbm's).
pam2rgba() {
  "$PY" -c '
import sys
d = sys.stdin.buffer.read()
if d[:2] == b"P7":
    end = d.index(b"ENDHDR\n") + 7
    h = dict(l.split(b" ", 1) for l in d[3:end - 7].split(b"\n") if b" " in l)
    w, ht, depth, maxv = (int(h[k]) for k in (b"WIDTH", b"HEIGHT", b"DEPTH", b"MAXVAL"))
    px = d[end:]
else:
    f = d.split(maxsplit=4)
    w, ht, maxv, depth, px = int(f[1]), int(f[2]), int(f[3]), {b"P5": 1, b"P6": 3}[f[0]], f[4]
assert maxv == 255, "pamdepth 255 first"
out = bytearray()
for i in range(w * ht):
    s = px[i * depth:(i + 1) * depth]
    rgb = s[:3] if depth >= 3 else s[:1] * 3
    a = s[depth - 1:depth] if depth in (2, 4) else b"\xff"
    out += rgb + a
sys.stdout.buffer.write(out)'
}

row() { # row FILE TOOL: prints the table row from RGBA on stdin
  local f=$1 tool=$2 size w h
  size=$(identify -format '%w %h' "$f[0]" 2>/dev/null || true)
  read -r w h <<<"$size"
  [ -n "${W:-}" ] && w=$W h=$H
  printf '    {"%s", %s, %s, "%s", "%s"},\n' "$(basename "$f")" "$w" "$h" "$("$refdigest" "$w" "$h")" "$tool"
}
im_row() { convert "$1[0]" -depth 8 rgba:- | row "$1" "ImageMagick"; }

# ---- JPEG -------------------------------------------------------------------------------------
convert -seed 5 -size 61x47 plasma:fractal -depth 8 "$tmp/photo.ppm"
cd "$here/jpeg"
cjpeg -quality 85 "$tmp/photo.ppm" >ycc420-baseline.jpg
cjpeg -quality 85 -sample 1x1 "$tmp/photo.ppm" >ycc444-baseline.jpg
cjpeg -quality 85 -sample 2x1 "$tmp/photo.ppm" >ycc422-baseline.jpg
cjpeg -quality 85 -sample 1x2 "$tmp/photo.ppm" >ycc440-baseline.jpg
cjpeg -quality 85 -sample 4x1 "$tmp/photo.ppm" >ycc411-baseline.jpg
cjpeg -quality 85 -progressive "$tmp/photo.ppm" >ycc420-progressive.jpg
cjpeg -quality 85 -arithmetic "$tmp/photo.ppm" >ycc420-arithmetic.jpg
cjpeg -quality 85 -progressive -arithmetic "$tmp/photo.ppm" >ycc420-progressive-arithmetic.jpg
cjpeg -quality 85 -restart 3B "$tmp/photo.ppm" >ycc420-restart.jpg
cjpeg -quality 85 -grayscale "$tmp/photo.ppm" >grey-baseline.jpg
cjpeg -quality 85 -grayscale -progressive "$tmp/photo.ppm" >grey-progressive.jpg
cjpeg -quality 85 -rgb "$tmp/photo.ppm" >rgb-baseline.jpg
convert "$tmp/photo.ppm" -colorspace CMYK -quality 90 cmyk-adobe.jpg

# YCCK and un-inverted CMYK need libjpeg itself: cjpeg reads no CMYK input.
cat >"$tmp/cmyk.c" <<'EOF'
/* cmyk W H YCCK|PLAIN < raw-cmyk > out.jpg. YCCK: Adobe marker, samples stored inverted, as
   Adobe's writers do. PLAIN: no Adobe marker, samples as given (0 = no ink). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <jpeglib.h>
int main(int argc, char** argv) {
  int w = atoi(argv[1]), h = atoi(argv[2]), ycck = strcmp(argv[3], "YCCK") == 0;
  unsigned char* px = malloc((size_t)w * h * 4);
  if (fread(px, 4, (size_t)w * h, stdin) != (size_t)w * h) return 1;
  struct jpeg_compress_struct c; struct jpeg_error_mgr e;
  c.err = jpeg_std_error(&e); jpeg_create_compress(&c); jpeg_stdio_dest(&c, stdout);
  c.image_width = w; c.image_height = h; c.input_components = 4; c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c); jpeg_set_quality(&c, ycck ? 85 : 100, TRUE);
  jpeg_set_colorspace(&c, ycck ? JCS_YCCK : JCS_CMYK);
  c.write_Adobe_marker = ycck; c.write_JFIF_header = FALSE;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < h; ++y) {
    JSAMPROW r = px + (size_t)y * w * 4;
    if (ycck) for (int i = 0; i < w * 4; ++i) r[i] = 255 - r[i];
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c); return 0;
}
EOF
cc -O1 -o "$tmp/cmyk" "$tmp/cmyk.c" -ljpeg
convert "$tmp/photo.ppm" -colorspace CMYK -depth 8 cmyk:- | "$tmp/cmyk" 61 47 YCCK >ycck-adobe.jpg
# Four 16x16 patches, no ink | full cyan | full magenta | full black: no Adobe marker, so the
# samples mean ink as stored. The test checks the patch colours, not a digest.
"$PY" -c '
import sys
ink = [(0, 0, 0, 0), (255, 0, 0, 0), (0, 255, 0, 0), (0, 0, 0, 255)]
sys.stdout.buffer.write(bytes(v for y in range(16) for x in range(64) for v in ink[x // 16]))' |
  "$tmp/cmyk" 64 16 PLAIN >cmyk-plain-patches.jpg

echo "JPEG:"
for f in ycc420-baseline ycc444-baseline ycc422-baseline ycc440-baseline ycc411-baseline ycc420-progressive \
  ycc420-arithmetic ycc420-progressive-arithmetic ycc420-restart grey-baseline grey-progressive rgb-baseline \
  cmyk-adobe ycck-adobe; do
  im_row "$f.jpg"
done

# ---- PNG --------------------------------------------------------------------------------------
cd "$here/png"
convert -seed 7 -size 29x23 plasma:fractal "$tmp/rgb16.png"
convert "$tmp/rgb16.png" \( +clone -channel R -fx 'i/w' -separate \) -alpha off -compose CopyOpacity -composite "$tmp/rgba16.png"
png() { # png OUT COLORTYPE DEPTH INTERLACE SOURCE [convert options...]
  local out=$1 ct=$2 bd=$3 il=$4 src=$5
  shift 5
  convert "$src" "$@" -interlace "$il" -define png:color-type="$ct" -define png:bit-depth="$bd" \
    -define png:exclude-chunks=date,time,gama,chrm,bkgd "$out"
  # ImageMagick may pick another type than asked for: check the header.
  "$PY" -c 'import sys; d = open(sys.argv[1], "rb").read(); ok = (d[24], d[25], d[28]) == tuple(map(int, sys.argv[2:5])); sys.exit(0 if ok else "%s: got depth %d type %d interlace %d" % (sys.argv[1], d[24], d[25], d[28]))' \
    "$out" "$bd" "$ct" "$([ "$il" = None ] && echo 0 || echo 1)"
}
png grey1.png 0 1 None "$tmp/rgb16.png" -colorspace Gray -threshold 50%
png grey2.png 0 2 None "$tmp/rgb16.png" -colorspace Gray -depth 2
png grey4.png 0 4 None "$tmp/rgb16.png" -colorspace Gray -depth 4
png grey8.png 0 8 None "$tmp/rgb16.png" -colorspace Gray -depth 8
png grey16.png 0 16 None "$tmp/rgb16.png" -colorspace Gray -depth 16
png rgb8.png 2 8 None "$tmp/rgb16.png" -depth 8
png rgb16.png 2 16 None "$tmp/rgb16.png" -depth 16
png rgb8-trns.png 2 8 None "$tmp/rgb16.png" -depth 8 -fuzz 15% -transparent 'rgb(128,128,128)'
png palette1.png 3 1 None "$tmp/rgb16.png" -colors 2
png palette2.png 3 2 None "$tmp/rgb16.png" -colors 4
png palette4.png 3 4 None "$tmp/rgb16.png" -colors 16
png palette8.png 3 8 None "$tmp/rgb16.png" -colors 200
png grey-alpha8.png 4 8 None "$tmp/rgba16.png" -colorspace Gray -depth 8
png grey-alpha16.png 4 16 None "$tmp/rgba16.png" -colorspace Gray -depth 16
png rgba8.png 6 8 None "$tmp/rgba16.png" -depth 8
png rgba16.png 6 16 None "$tmp/rgba16.png" -depth 16
png grey2-adam7.png 0 2 PNG "$tmp/rgb16.png" -colorspace Gray -depth 2
png rgb8-adam7.png 2 8 PNG "$tmp/rgb16.png" -depth 8
png palette4-adam7.png 3 4 PNG "$tmp/rgb16.png" -colors 16
png grey-alpha8-adam7.png 4 8 PNG "$tmp/rgba16.png" -colorspace Gray -depth 8
png rgba16-adam7.png 6 16 PNG "$tmp/rgba16.png" -depth 16
png rgba8-adam7-1x1.png 6 8 PNG "$tmp/rgba16.png" -depth 8 -crop 1x1+3+3 +repage
png rgba8-adam7-3x2.png 6 8 PNG "$tmp/rgba16.png" -depth 8 -crop 3x2+5+5 +repage
# tRNS for grey and a palette with partial alpha: netpbm writes those where ImageMagick will not.
convert "$tmp/rgb16.png" -colorspace Gray -depth 4 -depth 8 "$tmp/grey16levels.pgm"
pnmtopng -transparent rgb:aa/aa/aa "$tmp/grey16levels.pgm" >grey4-trns.png
convert "$tmp/rgba16.png" -alpha off -colors 32 -depth 8 "$tmp/colours32.ppm"
convert "$tmp/rgba16.png" -alpha extract -depth 8 -posterize 4 "$tmp/alpha4levels.pgm"
pnmtopng -alpha="$tmp/alpha4levels.pgm" "$tmp/colours32.ppm" >palette8-trns.png
for f in grey4-trns.png palette8-trns.png; do
  "$PY" -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(0 if b"tRNS" in d else sys.argv[1] + ": no tRNS")' "$f"
done

echo "PNG:"
for f in *.png; do
  bd=$("$PY" -c 'import sys; print(open(sys.argv[1], "rb").read()[24])' "$f")
  if [ "$bd" = 16 ]; then
    pngtopam -alphapam "$f" | pamdepth 255 | pam2rgba | row "$f" "netpbm pngtopam | pamdepth 255"
  else
    im_row "$f"
  fi
done

# ---- TIFF -------------------------------------------------------------------------------------
cd "$here/tiff"
convert "$tmp/rgba16.png" -resize 23x17! -depth 8 "$tmp/rgba8.png"
convert "$tmp/rgba8.png" -colorspace Gray -depth 8 grey-alpha8-unassociated.tif
convert "$tmp/rgba8.png" -colorspace Gray -depth 16 grey-alpha16-unassociated.tif
convert "$tmp/rgba8.png" -colorspace Gray -depth 8 -define tiff:alpha=associated grey-alpha8-associated.tif
convert "$tmp/rgba8.png" -depth 8 rgba8-unassociated.tif
convert "$tmp/rgba8.png" -depth 16 rgba16-unassociated.tif
convert "$tmp/rgba8.png" -depth 8 -define tiff:alpha=associated rgba8-associated.tif
convert "$tmp/rgba8.png" -alpha off -depth 8 -compress LZW -define tiff:predictor=2 rgb8-lzw-predictor.tif
convert "$tmp/rgba8.png" -alpha off -depth 8 -compress Zip -define tiff:tile-geometry=16x16 rgb8-zip-tiled.tif
names=(- TopLeft TopRight BottomRight BottomLeft LeftTop RightTop RightBottom LeftBottom)
for o in 2 3 4 5 6 7 8; do convert "$tmp/rgba8.png" -alpha off -depth 8 -orient "${names[$o]}" "orientation$o.tif"; done

echo "TIFF (ImageMagick's rounding of associated alpha and of 16-bit grey differs; the test compares those"
echo "with the matching 8-bit unassociated file instead):"
for f in grey-alpha8-unassociated rgba8-unassociated rgba16-unassociated rgb8-lzw-predictor rgb8-zip-tiled; do
  im_row "$f.tif"
done
for o in 2 3 4 5 6 7 8; do
  f=orientation$o.tif
  size=$(convert "$f" -auto-orient -format '%w %h' info:)
  read -r W H <<<"$size"
  convert "$f" -auto-orient -depth 8 rgba:- | W=$W H=$H row "$f" "ImageMagick -auto-orient"
done

# ---- Raw G3 fax -------------------------------------------------------------------------------
cd "$here/fax"
convert -size 1728x120 xc:white -fill black -pointsize 48 -draw "text 100,80 'Kirvane fax test'" \
  -draw "circle 1400,60 1440,100" -monochrome "$tmp/page.pbm"
convert -size 2048x90 xc:white -fill black -pointsize 48 -draw "text 100,60 'wide page'" -monochrome "$tmp/wide.pbm"
pbmtog3 "$tmp/page.pbm" >raw-1d-msb.fax
pbmtog3 -reversebits "$tmp/page.pbm" >raw-1d-lsb.fax
pbmtog3 -nofixedwidth "$tmp/wide.pbm" >raw-1d-2048.fax
# 2-D coding through Pillow's libtiff writer: the strip of a G3 TIFF is exactly a raw stream.
# libtiff codes 0 bits as white runs, so the page is inverted first to keep fax polarity.
"$PY" -c '
import sys
from PIL import Image, ImageOps
im = ImageOps.invert(Image.open(sys.argv[1]).convert("L")).convert("1")
im.save(sys.argv[2] + ".tif", compression="group3", tiffinfo={292: 1})
t = Image.open(sys.argv[2] + ".tif").tag_v2
d = open(sys.argv[2] + ".tif", "rb").read()
assert len(t[273]) == 1
open(sys.argv[2], "wb").write(d[t[273][0]:t[273][0] + t[279][0]])' "$tmp/page.pbm" "$tmp/raw-2d.fax"
cp "$tmp/raw-2d.fax" raw-2d-msb.fax

echo "Raw fax (reference: the page each stream was encoded from):"
for f in raw-1d-msb raw-1d-lsb raw-2d-msb; do
  convert "$tmp/page.pbm" -depth 8 rgba:- | W=1728 H=120 row "$f.fax" "encoded from the page"
done
convert "$tmp/wide.pbm" -depth 8 rgba:- | W=2048 H=90 row raw-1d-2048.fax "encoded from the page"
g3topbm raw-1d-msb.fax | convert pbm:- -depth 8 rgba:- | W=1728 H=120 row raw-1d-msb.fax "netpbm g3topbm"
