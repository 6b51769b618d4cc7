#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need,
# skipping the step when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libpng-dev
  qt6-base-dev libgl-dev qt6-translations-l10n fonts-noto-cjk
  clang-14 libclang-rt-14-dev clang-tidy-14 cppcheck valgrind lcov
  python3 librsvg2-bin desktop-file-utils man-db dpkg-dev
  xvfb openbox xdotool x11-utils x11-apps
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
