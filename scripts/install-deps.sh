#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Usage: scripts/install-deps.sh [--with-browser] [--with-fuzz] [--with-prometheus]
#   --with-browser  Chromium, Firefox ESR and Node for the browser tests
#   --with-fuzz     clang and the clang runtime (libFuzzer, sanitizers) of that same clang
#   --with-prometheus  Prometheus and promtool, for the tests of kaptiv-exporter and its rules
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libboost-dev nlohmann-json3-dev tidy
          dpkg-dev desktop-file-utils lintian prometheus-cpp-dev)
with_fuzz=0
for arg in "$@"; do
    case "$arg" in
    --with-browser) packages+=(chromium firefox-esr nodejs npm) ;;
    --with-fuzz) with_fuzz=1 ;;
    --with-prometheus) packages+=(prometheus) ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done
sudo_cmd=""
[[ $(id -u) -ne 0 ]] && sudo_cmd="sudo"
updated=0
apt_install() {
    if ((updated == 0)); then
        $sudo_cmd apt-get update -qq
        updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$@" >/dev/null
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
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
    apt_install "${missing[@]}"
fi

# The fuzz step needs the runtime of the clang that is installed, whatever its version:
# Debian ships it as libclang-rt-<N>-dev from clang 14 on a few releases and inside
# libclang-common-<N>-dev on others.
if ((with_fuzz)); then
    installed clang || { echo "Installing: clang"; apt_install clang; }
    major=$(clang -dumpversion | cut -d. -f1)
    runtime=""
    for candidate in "libclang-rt-${major}-dev" "libclang-common-${major}-dev"; do
        if apt-cache show "$candidate" >/dev/null 2>&1; then
            runtime=$candidate
            break
        fi
    done
    if [[ -z "$runtime" ]]; then
        echo "install-deps.sh: no clang runtime package for clang ${major}" >&2
        exit 1
    fi
    installed "$runtime" || { echo "Installing: $runtime"; apt_install "$runtime"; }
fi
