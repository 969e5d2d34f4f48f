#!/usr/bin/env bash
# Runs the browser tests: run-e2e.sh HOST_PROGRAM ARTIFACT_DIR [KAPTIV_PROGRAM SIM_PROGRAM]
# KAPTIV_E2E_TEST names another test script in this folder (default main-window.test.mjs).
# Exit 77 (skipped) when Chromium or Node is missing; playwright-core is installed into
# tests/e2e/node_modules on first use (npm ci --prefix tests/e2e, from package-lock.json).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
host="$1"
artifacts="$2"
chromium="${KAPTIV_CHROMIUM:-/usr/bin/chromium}"
if [[ ! -x "$chromium" ]]; then
    echo "SKIPPED: no Chromium at $chromium (apt-get install chromium)"
    exit 77
fi
if ! command -v node >/dev/null; then
    echo "SKIPPED: node is not installed (apt-get install nodejs npm)"
    exit 77
fi
if [[ ! -d "$here/node_modules/playwright-core" ]]; then
    echo "installing playwright-core into $here/node_modules"
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi
mkdir -p "$artifacts"
exec node "$here/${KAPTIV_E2E_TEST:-main-window.test.mjs}" "$host" "$artifacts" "$chromium" ${3:+"$3"} ${4:+"$4"}
