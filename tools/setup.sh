#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, when it is
# missing. Run as root (CI and a fresh machine); as another user it only checks.
set -euo pipefail

packages=(
  cmake make g++ g++-multilib clang clang-tidy libclang-rt-14-dev qemu-user-static python3 python3-pil
  googletest libbenchmark-dev libgif-dev giflib-tools
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb xauth x11-apps x11-utils imagemagick
  chrony iproute2 procps shellcheck
  # the emulated machine of tools/guest-run, for the i686 binaries
  qemu-system-x86 linux-image-amd64 busybox-static cpio zstd
  fonts-liberation fonts-dejavu-core fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: run as root to install them" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
