#!/usr/bin/env bash
# Soak run: the simulated demo rack and kaptiv against it, driven in Chromium through a seeded
# random mix of what installers do, with the simulator restarted every two minutes (some restarts
# with an answer fault). Prints figures at the end; exits non-zero when a check fails.
#   scripts/soak.sh [MINUTES] [SEED]     (default 10 minutes, seed 1; at least 1 minute)
# Builds kaptiv, kaptiv-config and mulvane-sim in build/ when needed. Needs Chromium
# (KAPTIV_CHROMIUM, default /usr/bin/chromium), Node and playwright-core (installed into
# build/tests/e2e/node on first use, as for the browser tests: scripts/install-deps.sh
# --with-browser). KAPTIV_SOAK_KEEP=1 keeps the run's temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes="${1:-10}"
seed="${2:-1}"
if ! [[ "$minutes" =~ ^[0-9]+$ && "$minutes" -ge 1 && "$seed" =~ ^[0-9]+$ ]]; then
    echo "usage: scripts/soak.sh [MINUTES] [SEED]   (whole numbers, MINUTES at least 1)" >&2
    exit 2
fi

if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C build kaptiv kaptiv-config mulvane-sim

export KAPTIV_E2E_MODULES="${KAPTIV_E2E_MODULES:-$PWD/build/tests/e2e/node}"
exec tests/e2e/run-e2e.sh soak none build/tests/e2e/artifacts \
    "$PWD/build/app/kaptiv" "$PWD/build/sim/mulvane-sim" "$PWD/build/tools/kaptiv-config" "$minutes" "$seed"
