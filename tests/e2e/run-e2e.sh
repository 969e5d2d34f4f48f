#!/usr/bin/env bash
# Runs one browser test (one window): run-e2e.sh TEST HOST_PROGRAM ARTIFACT_DIR [KAPTIV_PROGRAM SIM_PROGRAM [MORE...]]
# where TEST names tests/e2e/<TEST>.test.mjs; MORE is passed on to it (the soak takes kaptiv-config,
# its minutes and its seed).
# Exit 77 (skipped) when Chromium, Node or playwright-core cannot be had. playwright-core is
# installed on first use into the build folder (KAPTIV_E2E_MODULES, from package-lock.json),
# never into the source tree.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
test="$1"
host="$2"
artifacts="$3"
chromium="${KAPTIV_CHROMIUM:-/usr/bin/chromium}"
if [[ ! -x "$chromium" ]]; then
    echo "SKIPPED: no Chromium at $chromium (apt-get install chromium)"
    exit 77
fi
if ! command -v node >/dev/null; then
    echo "SKIPPED: node is not installed (apt-get install nodejs npm)"
    exit 77
fi
modules="${KAPTIV_E2E_MODULES:-$(dirname "$artifacts")/node}"
if [[ ! -d "$modules/node_modules/playwright-core" ]]; then
    if ! command -v npm >/dev/null; then
        echo "SKIPPED: npm is not installed, so playwright-core cannot be had (apt-get install npm)"
        exit 77
    fi
    echo "installing playwright-core into $modules/node_modules"
    mkdir -p "$modules"
    cp "$here/package.json" "$here/package-lock.json" "$modules/"
    if ! (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error); then
        echo "SKIPPED: playwright-core could not be installed (no registry?)"
        exit 77
    fi
fi
export NODE_PATH="$modules/node_modules${NODE_PATH:+:$NODE_PATH}"
mkdir -p "$artifacts"
exec node "$here/$test.test.mjs" "$host" "$artifacts" "$chromium" "${@:4}"
