#!/usr/bin/env bash
# Cross-builds the Windows program with Debian's mingw-w64 for 32-bit (i686, the target the
# system was made for) and 64-bit (x86_64), and packs each into a ZIP with CPack.
# Usage: scripts/build-windows.sh [--fresh-assets] [out-dir]      (default: build-windows/)
# Each build lands in <out-dir>/<arch>/, its archive in <out-dir>/halvent-<version>-win32.zip
# and -win64.zip. The archives take the images and sounds of img/, which the generator in
# tools/ made; --fresh-assets builds that generator natively (it needs Cairo) and packs its
# new output instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fresh_assets=0
if [ "${1:-}" = "--fresh-assets" ]; then
    fresh_assets=1
    shift
fi
out="${1:-$root/build-windows}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# The posix thread model variants, so std::thread works; installed when missing.
packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update
    "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

images="$root/img"
if [ "$fresh_assets" -eq 1 ]; then
    images="$out/img"
    HALVENT_TOOLS_BUILD="$out/tools-native" "$root/scripts/make-assets.sh" "$images"
fi

for arch in i686 x86_64; do
    build="$out/$arch"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENT_WERROR=ON \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DHALVENT_IMAGE_DIR="$images" >/dev/null
    ninja -C "$build"
    (cd "$build" && cpack -G ZIP -B "$out" >/dev/null)
done
rm -rf "$out/_CPack_Packages"
ls -l "$out"/*.zip
