#!/usr/bin/env bash
# Installs what the build, the tests and the start need, on Debian 12, as root.
# Fast and silent when everything is already there.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libssl-dev
          openssl ca-certificates
          libgtest-dev libgmock-dev libgl-dev xvfb xauth clang libclang-rt-14-dev
          fonts-dejavu-core
          libqt6sql6-sqlite libqt6sql6-psql postgresql
          dpkg-dev desktop-file-utils shared-mime-info libxml2-utils groff-base)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
