#!/usr/bin/env bash
# Installs the Debian packages Kirvane needs. Quick and silent when everything is there.
#   scripts/install-deps.sh            build, run and test
#   scripts/install-deps.sh fuzz       also clang and its libFuzzer runtime
#   scripts/install-deps.sh bench      also the peers the benchmarks measure against
#   scripts/install-deps.sh desktop    also Xvfb and ImageMagick, to look at the program headless
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev liblcms2-dev
  libicu-dev libgtest-dev googletest
  shared-mime-info fonts-noto-cjk qt6-translations-l10n
)
for extra in "$@"; do
  case "$extra" in
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(hyperfine jpeginfo libjpeg-turbo-progs imagemagick graphicsmagick python3-pil netpbm time) ;;
    desktop) packages+=(xvfb xauth imagemagick x11-utils) ;;
    *) echo "install-deps: unknown group '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
