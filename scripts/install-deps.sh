#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Usage: scripts/install-deps.sh [--with-browser]
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libboost-dev nlohmann-json3-dev clang libclang-rt-14-dev tidy)
if [[ "${1:-}" == "--with-browser" ]]; then
    packages+=(chromium nodejs npm)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# node and npm may come from elsewhere than Debian's packages; a working command is enough.
if [[ " ${missing[*]} " == *" nodejs "* ]] && command -v node >/dev/null; then
    missing=("${missing[@]/nodejs}")
fi
if [[ " ${missing[*]} " == *" npm "* ]] && command -v npm >/dev/null; then
    missing=("${missing[@]/npm}")
fi
read -r -a missing <<<"${missing[*]}"
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [[ $(id -u) -ne 0 ]] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
