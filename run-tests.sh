#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the unit, integration, fuzz-smoke,
# browser, Debian package and user's guide tests of the normal build, then the unit and integration tests again under
# AddressSanitizer + UndefinedBehaviorSanitizer, then a short libFuzzer run of every fuzz
# target (clang).
#   ./run-tests.sh           everything
#   ./run-tests.sh --quick   the normal build's tests only
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
scripts/install-deps.sh --with-browser --with-prometheus

status=0
step() { echo; echo "=== $* ==="; }

step "build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j "$jobs"
step "tests"
(cd build && ctest --output-on-failure -j "$jobs") || status=1

if [[ "${1:-}" != "--quick" ]]; then
    step "build (ASan + UBSan)"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAPTIV_SANITIZE=ON -DKAPTIV_BENCH=OFF >/dev/null
    ninja -C build-asan -j "$jobs"
    step "tests under sanitizers"
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j "$jobs" -L 'unit|integration|fuzz') || status=1

    step "fuzz smoke (libFuzzer)"
    scripts/install-deps.sh --with-fuzz
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKAPTIV_FUZZ=ON -DKAPTIV_BENCH=OFF -DKAPTIV_WEB=OFF >/dev/null
    ninja -C build-fuzz -j "$jobs" fuzz_targets
    for f in build-fuzz/tests/fuzz/fuzz_*; do
        [[ -x "$f" ]] || continue
        name=$(basename "$f")
        corpus=tests/fuzz/corpus/${name#fuzz_}
        args=(-max_total_time=10 -rss_limit_mb=2048)
        # tests/fuzz/options/<target without fuzz_>: more libFuzzer flags for that target, one
        # line (a -max_len that reaches its longest seeds, for one).
        options=tests/fuzz/options/${name#fuzz_}
        if [[ -f "$options" ]]; then
            read -r -a extra <"$options"
            args+=("${extra[@]}")
        fi
        work=$(mktemp -d)
        [[ -d "$corpus" ]] && cp "$corpus"/* "$work"/ 2>/dev/null || true
        if "$f" "${args[@]}" "$work" >"build-fuzz/$name.log" 2>&1; then
            echo "$name: $(grep -Eo 'Done [0-9]+ runs' "build-fuzz/$name.log" | tail -1)"
        else
            echo "$name: FAILED (build-fuzz/$name.log)"; tail -30 "build-fuzz/$name.log"; status=1
        fi
        rm -rf "$work"
    done
fi

echo
if ((status == 0)); then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit $status
