#!/usr/bin/env bash
# Runs the browser test of the common-interface panel:
# run-cam-e2e.sh ARTIFACT_DIR KAPTIV_PROGRAM SIM_PROGRAM
# Exit 77 (skipped) when Chromium or Node is missing; playwright-core as for run-e2e.sh.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
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
mkdir -p "$1"
exec node "$here/cam-panel.test.mjs" "$1" "$chromium" "$2" "$3"
