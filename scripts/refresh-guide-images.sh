#!/usr/bin/env bash
# Refreshes the pictures of the user's guide (docs/images/) from the browser tests: the tests
# drive the program against the simulated demo rack and save screenshots, of which the ones
# named below are copied. Run it after changing a window, and commit the pictures it changed.
#   scripts/refresh-guide-images.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# The pictures the guide shows, as the browser tests name them.
images=(
    kaptiv-main-window.png        # rack.test.mjs: the program with no rack to find
    kaptiv-demo-rack.png          # rack.test.mjs: the demo rack in the module column
    kaptiv-chain-selected.png     # rack.test.mjs: a chain selected, its settings page open
    settings-sat2.0-ci-cofdm4.png # settings-page.test.mjs: one page per family's chain
    settings-sat1-cofdm1.png
    settings-terrestrial-qam2.png
    settings-av-qam4.png
    settings-hd-ipstreamer.png
    settings-fr.png               # languages.test.mjs: the settings page in French
    settings-de.png               # languages.test.mjs: and in German
    streaming-upload-dialog.png   # streaming.test.mjs: a clip uploaded to the USB key
    streaming-scheduled.png       # streaming.test.mjs: the clip in the play-out schedule
    cam-main-menu.png             # cam-panel.test.mjs: the CAM's main menu
    cam-pin-enquiry.png           # cam-panel.test.mjs: the CAM asks for its PIN
    config-save-dialog.png        # config-files.test.mjs: saving the rack to a file
    config-check.png              # config-files.test.mjs: the check before loading a file
    kaptiv-firmware-updated.png   # firmware-update.test.mjs: the rack after its update
    report-saved.png              # report.test.mjs: the report written
    report-first-screen.png       # report.test.mjs: the report in the browser
    health-view.png               # health-view.test.mjs: the health view of the demo rack
    health-alarm.png              # health-view.test.mjs: an input without antenna
    health-plot.png               # health-view.test.mjs: its large plot
)

scripts/install-deps.sh --with-browser
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build kaptiv kaptiv-config mulvane-sim kaptiv-web-host

# Old pictures must not pass for new ones: the folder is emptied before the run.
artifacts=build/tests/e2e/artifacts
rm -rf "$artifacts"
if ! ctest --test-dir build -L e2e --output-on-failure; then
    echo "refresh-guide-images: a browser test failed; docs/images/ left as it was" >&2
    exit 1
fi

missing=0
for image in "${images[@]}"; do
    if [[ ! -f "$artifacts/$image" ]]; then
        echo "refresh-guide-images: no $image (was its browser test skipped?)" >&2
        missing=1
    fi
done
((missing == 0)) || exit 1

mkdir -p docs/images
changed=0
for image in "${images[@]}"; do
    if ! cmp -s "$artifacts/$image" "docs/images/$image"; then
        cp "$artifacts/$image" "docs/images/$image"
        echo "updated docs/images/$image"
        changed=$((changed + 1))
    fi
done
for old in docs/images/*.png; do
    [[ " ${images[*]} " == *" $(basename "$old") "* ]] || echo "note: $old is no longer refreshed" >&2
done
echo "$changed picture(s) changed"
