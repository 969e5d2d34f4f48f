#!/usr/bin/env bash
# Runs the Firefox smoke test: run-firefox.sh HOST_PROGRAM ARTIFACT_DIR KAPTIV_PROGRAM SIM_PROGRAM
# Exit 77 (skipped) when Firefox ESR, Node or puppeteer-core cannot be had (scripts/install-deps.sh
# --with-browser installs the first two). puppeteer-core is installed on first use into the
# build folder (KAPTIV_E2E_FIREFOX_MODULES, from firefox/package-lock.json); it downloads no browser.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
host="$1"
artifacts="$2"
firefox="${KAPTIV_FIREFOX:-/usr/bin/firefox-esr}"
if [[ ! -x "$firefox" ]]; then
    echo "SKIPPED: no Firefox ESR at $firefox (apt-get install firefox-esr)"
    exit 77
fi
if ! command -v node >/dev/null; then
    echo "SKIPPED: node is not installed (apt-get install nodejs npm)"
    exit 77
fi
modules="${KAPTIV_E2E_FIREFOX_MODULES:-$(dirname "$artifacts")/node-firefox}"
if [[ ! -d "$modules/node_modules/puppeteer-core" ]]; then
    if ! command -v npm >/dev/null; then
        echo "SKIPPED: npm is not installed, so puppeteer-core cannot be had (apt-get install npm)"
        exit 77
    fi
    echo "installing puppeteer-core into $modules/node_modules"
    mkdir -p "$modules"
    cp "$here/firefox/package.json" "$here/firefox/package-lock.json" "$modules/"
    if ! (cd "$modules" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error); then
        echo "SKIPPED: puppeteer-core could not be installed (no registry?)"
        exit 77
    fi
fi
export NODE_PATH="$modules/node_modules${NODE_PATH:+:$NODE_PATH}"
# Firefox wants a writable home for its profile lock and caches.
export HOME="${HOME:-/tmp}"
mkdir -p "$artifacts"
exec node "$here/firefox-smoke.test.mjs" "$host" "$artifacts" "$firefox" "$3" "$4"
