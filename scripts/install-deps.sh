#!/bin/sh
# Installs what a fresh Debian machine lacks for building and testing ZOVIK:
# the MinGW-w64 cross-compiler (posix threads), Wine, Lua 5.1 with
# LuaSocket for the game-side scripts, and a virtual X display (Xvfb) with
# xwd and ImageMagick for the settings dialog's window test and picture. Quiet and
# idempotent: nothing is fetched when everything is already there.
set -eu

packages="cmake g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev g++-mingw-w64-x86-64-posix wine64 binutils util-linux lua5.1 lua-socket xvfb x11-apps imagemagick"
missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages:$missing (run as root, or install them)" >&2
  exit 1
fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq $missing >/dev/null
