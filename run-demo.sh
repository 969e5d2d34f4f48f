#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated demo rack (mulvane-sim: an IP
# gateway on a free loopback port and a serial bus on a pseudo-terminal) and the tool
# against it. The tool prints the address of its interface and opens it in the browser when
# a desktop session exists. Ctrl-C ends both.
#   ./run-demo.sh            through the simulated IP gateway (title shows the address)
#   ./run-demo.sh --serial   through the simulated serial bus (title shows "(USB)")
#   ./run-demo.sh --firmware the simulator writes a firmware folder with updates for its rack
#                            into the program folder: the first scan updates the modules
#   ./run-demo.sh --exporter also starts kaptiv-exporter and prints the probe URL of the demo
#                            rack; the simulator plays sim/scenarios/demo-monitoring.txt
#                            (input A loses its antenna after a minute, the CAM is pulled...)
# Further options are passed to kaptiv (e.g. --no-browser, --ui-port 8080, --trace FILE).
# KAPTIV_DEMO_SIM_OPTIONS adds options to the simulator, e.g. answer faults:
#   KAPTIV_DEMO_SIM_OPTIONS="--answer-fault byte-by-byte --answer-fault truncated:20" ./run-demo.sh
set -euo pipefail
cd "$(dirname "$0")"
mode=gateway
firmware=no
exporter=no
while [[ "${1:-}" == "--serial" || "${1:-}" == "--firmware" || "${1:-}" == "--exporter" ]]; do
    [[ "$1" == "--serial" ]] && mode=serial
    [[ "$1" == "--firmware" ]] && firmware=yes
    [[ "$1" == "--exporter" ]] && exporter=yes
    shift
done
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build mulvane-sim kaptiv-config kaptiv
[[ "$exporter" == yes ]] && ninja -C build kaptiv-exporter

workdir=$(mktemp -d)
bus="$workdir/rack-bus"
# A fixed gateway port (KAPTIV_DEMO_PORT, default 6660) and a fixed bus path, so that the
# simulator can be stopped and started again by hand while the tool keeps running: the tool
# clears its module column when the rack goes and finds it again when it comes back.
port=${KAPTIV_DEMO_PORT:-6660}
sim_cmd=(build/sim/mulvane-sim --gateway-port "$port" --pty-link "$bus")
if [[ -n "${KAPTIV_DEMO_SIM_OPTIONS:-}" ]]; then
    read -ra sim_options <<<"$KAPTIV_DEMO_SIM_OPTIONS"
    sim_cmd+=("${sim_options[@]}")
fi
mkdir -p "$workdir/program"
if [[ "$firmware" == yes ]]; then
    sim_cmd+=(--write-firmware "$workdir/program/firmware")
fi
if [[ "$exporter" == yes ]]; then
    sim_cmd+=(--scenario "$PWD/sim/scenarios/demo-monitoring.txt")
fi
"${sim_cmd[@]}" >"$workdir/sim.out" 2>&1 &
sim=$!
exporter_pid=""
trap 'kill $sim $exporter_pid 2>/dev/null; wait $sim $exporter_pid 2>/dev/null; rm -rf "$workdir"' EXIT INT TERM

gateway=""
for _ in $(seq 100); do
    gateway=$(sed -n 's/^gateway: //p' "$workdir/sim.out")
    [[ -n "$gateway" && -e "$bus" ]] && break
    kill -0 $sim 2>/dev/null || { cat "$workdir/sim.out"; exit 1; }
    sleep 0.05
done
cat "$workdir/sim.out"
echo
echo "To try the watchdog: kill mulvane-sim (pid $sim), then start it again with"
echo "  ${sim_cmd[*]}"
echo
echo "== The rack as the link sees it (kaptiv-config rack list --gateway $gateway) =="
# With answer faults a module may be missed here; the tool's own scan says what it finds.
build/tools/kaptiv-config rack list --gateway "$gateway" || [[ -n "${KAPTIV_DEMO_SIM_OPTIONS:-}" ]]
echo
if [[ "$firmware" == yes ]]; then
    echo "== The firmware folder as the tool reads it (kaptiv-config firmware list) =="
    build/tools/kaptiv-config firmware list "$workdir/program/firmware"
    echo
fi

if [[ "$exporter" == yes ]]; then
    # The exporter on loopback (KAPTIV_DEMO_EXPORTER_PORT, default 9468), read-only.
    listen="127.0.0.1:${KAPTIV_DEMO_EXPORTER_PORT:-9468}"
    build/tools/kaptiv-exporter --web.listen-address "$listen" >"$workdir/exporter.out" 2>&1 &
    exporter_pid=$!
    for _ in $(seq 100); do
        grep -q ' listening on ' "$workdir/exporter.out" && break
        kill -0 $exporter_pid 2>/dev/null || { cat "$workdir/exporter.out"; exit 1; }
        sleep 0.05
    done
    echo "== kaptiv-exporter (Prometheus) =="
    echo "Probe URL of the demo rack: http://$listen/probe?target=$gateway"
    echo "  curl 'http://$listen/probe?target=$gateway'"
    echo "The exporter's own figures:  http://$listen/metrics"
    echo "The simulator plays sim/scenarios/demo-monitoring.txt: input A of the RkSat2.0 loses its"
    echo "antenna after 60 s (kaptiv_tuner_input_locked{input=\"A\"} 0) and gets it back at 120 s."
    echo
fi

# The tool reads the gateway's address from its profile; the demo uses a profile of its own
# so that the installer's profile is left alone. In serial mode it points at a closed port.
profile="$workdir/kaptiv.ini"
if [[ "$mode" == gateway ]]; then
    printf 'serverAddress=%s\nserverPort=%s\n' "${gateway%:*}" "${gateway##*:}" >"$profile"
else
    printf 'serverAddress=127.0.0.1\nserverPort=9\n' >"$profile"
fi
# The tool runs in the demo's own folder, which goes when the demo ends: a trace file named
# relative to where the demo was started is written there instead.
args=()
while [[ $# -gt 0 ]]; do
    args+=("$1")
    if [[ "$1" == "--trace" && $# -gt 1 ]]; then
        shift
        [[ "$1" == /* ]] && args+=("$1") || args+=("$PWD/$1")
    fi
    shift
done
cd "$workdir/program"
"$OLDPWD/build/app/kaptiv" --profile "$profile" --serial "$bus" "${args[@]}"
