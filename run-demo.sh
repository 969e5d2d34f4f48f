#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated demo rack (mulvane-sim: an IP
# gateway on a free loopback port and a serial bus on a pseudo-terminal) and talks to it
# through the tool's link: the rack is listed through the gateway and through the serial bus.
# The simulator keeps running until Ctrl-C, so that kaptiv-config can be tried against it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build mulvane-sim kaptiv-config

workdir=$(mktemp -d)
bus="$workdir/rack-bus"
build/sim/mulvane-sim --pty-link "$bus" >"$workdir/sim.out" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$workdir"' EXIT INT TERM

gateway=""
for _ in $(seq 100); do
    gateway=$(sed -n 's/^gateway: //p' "$workdir/sim.out")
    [[ -n "$gateway" && -e "$bus" ]] && break
    kill -0 $sim 2>/dev/null || { cat "$workdir/sim.out"; exit 1; }
    sleep 0.05
done
cat "$workdir/sim.out"

echo
echo "== The rack through the gateway at $gateway =="
build/tools/kaptiv-config rack list --gateway "$gateway"
echo
echo "== The rack through the serial bus $bus =="
build/tools/kaptiv-config rack list --serial "$bus"
echo
echo "mulvane-sim keeps running: try build/tools/kaptiv-config rack list --gateway $gateway"
echo "Ctrl-C ends it."
wait $sim
