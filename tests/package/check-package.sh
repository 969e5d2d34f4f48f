#!/usr/bin/env bash
# Builds the Debian package of a configured build, unpacks it into a temporary root with
# dpkg -x and checks what an installer gets: the three programs answer --version and --help
# from there, the installed simulator and tool talk to each other, the page is served, the
# desktop entry is valid and points at an installed program and icon, the manual pages
# format cleanly, the serial-access notes, the copyright and the changelog are in place, and
# lintian finds no error and no warning.
#   check-package.sh BUILD_DIR VERSION [CPACK]
# Exit 77 (skipped) when dpkg-deb is missing.
set -uo pipefail
build="$1"
version="$2"
cpack="${3:-cpack}"

for tool in dpkg-deb "$cpack"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (apt-get install dpkg-dev cmake)"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# The same packaging as `cmake --build BUILD --target package`, into a folder of its own so
# that parallel runs do not meet.
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack did not build the package"
    exit 1
fi
mapfile -t debs < <(find "$work/out" -maxdepth 1 -name '*.deb')
if ((${#debs[@]} != 1)); then
    fail "expected one .deb, found ${#debs[@]}"
    exit 1
fi
deb=${debs[0]}
ok "built $(basename "$deb")"

[[ $(dpkg-deb -f "$deb" Package) == kaptiv ]] || fail "package name is not kaptiv"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libgcc-s1; do
    [[ ",$depends," == *[\ ,]"$lib"[\ ,\(]* ]] || fail "Depends does not name $lib (the programs link it)"
done

root="$work/root"
dpkg -x "$deb" "$root" || { fail "dpkg -x"; exit 1; }
bin="$root/usr/bin"

# --version prints "<program> <version>", --help the usage; both exit 0.
for program in kaptiv kaptiv-config kaptiv-exporter mulvane-sim; do
    if [[ ! -x "$bin/$program" ]]; then
        fail "/usr/bin/$program is not installed"
        continue
    fi
    out=$("$bin/$program" --version 2>&1)
    rc=$?
    [[ $rc -eq 0 && "$out" == "$program $version" ]] || fail "$program --version: rc $rc, '$out'"
    out=$("$bin/$program" --help 2>&1)
    rc=$?
    if [[ $rc -ne 0 ]] || ! grep -qi "usage: $program" <<<"$out" || ! grep -q -- "--version" <<<"$out"; then
        fail "$program --help: rc $rc, '$out'"
    else
        ok "$program --version and --help"
    fi
done
unexpected=$(find "$bin" -mindepth 1 ! -name kaptiv ! -name kaptiv-config ! -name kaptiv-exporter ! -name mulvane-sim)
[[ -z "$unexpected" ]] || fail "unexpected programs in /usr/bin: $unexpected"

# The installed programs together: the simulator's demo rack listed through its gateway,
# and the tool serving its page (everything it shows is compiled in: nothing is read from
# the build or source tree).
wait_for_line() { # FILE PATTERN PID -> prints the first match, waits at most 10 s
    local i
    for i in $(seq 200); do
        if grep -q "$2" "$1"; then
            grep -m1 "$2" "$1"
            return 0
        fi
        kill -0 "$3" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
"$bin/mulvane-sim" --gateway-port 0 >"$work/sim.out" 2>&1 &
sim=$!
pids+=("$sim")
gateway=$(wait_for_line "$work/sim.out" '^gateway: ' "$sim" | sed 's/^gateway: //')
if [[ -z "$gateway" ]]; then
    fail "installed mulvane-sim printed no gateway address"; cat "$work/sim.out"
else
    listing=$(timeout 30 "$bin/kaptiv-config" rack list --gateway "$gateway" 2>&1)
    # The controller at address 0 and the demo rack's eleven modules after it.
    if [[ $? -eq 0 ]] && grep -Eq '^ *0 +0 ' <<<"$listing" && (($(grep -Ec '^ *[0-9]+ +[0-9]+ ' <<<"$listing") == 12)); then
        ok "installed kaptiv-config lists the installed simulator's rack"
    else
        fail "kaptiv-config rack list --gateway $gateway: '$listing'"
    fi

    # The installed exporter probes the installed simulator's rack.
    "$bin/kaptiv-exporter" --web.listen-address 127.0.0.1:0 >"$work/exporter.out" 2>&1 &
    exporter=$!
    pids+=("$exporter")
    listen=$(wait_for_line "$work/exporter.out" ' listening on ' "$exporter" | sed 's/.* listening on //')
    if [[ -z "$listen" ]]; then
        fail "installed kaptiv-exporter printed no address"; cat "$work/exporter.out"
    elif command -v curl >/dev/null; then
        probe=$(curl -s --max-time 20 "http://$listen/probe?target=$gateway")
        if grep -q '^kaptiv_probe_success 1$' <<<"$probe" && grep -q '^kaptiv_rack_modules 12$' <<<"$probe"; then
            ok "installed kaptiv-exporter probes the installed simulator's rack"
        else
            fail "kaptiv-exporter /probe?target=$gateway: '$probe'"
        fi
    fi

    mkdir -p "$work/program"
    printf 'serverAddress=%s\nserverPort=%s\n' "${gateway%:*}" "${gateway##*:}" >"$work/kaptiv.ini"
    (cd "$work/program" && exec env -u DISPLAY -u WAYLAND_DISPLAY KAPTIV_SERIAL_DEVICES=/nonexistent \
        "$bin/kaptiv" --profile "$work/kaptiv.ini" --no-browser) >"$work/kaptiv.out" 2>&1 &
    app=$!
    pids+=("$app")
    url=$(wait_for_line "$work/kaptiv.out" '^URL ' "$app" | sed 's/^URL //')
    if [[ -z "$url" ]]; then
        fail "installed kaptiv printed no URL"; cat "$work/kaptiv.out"
    elif ! command -v curl >/dev/null; then
        echo "note: curl is not installed; the page was not fetched"
    else
        page=$(curl -s --max-time 10 "$url")
        if grep -qi '<html' <<<"$page"; then
            ok "installed kaptiv serves its page"
        else
            fail "no page at $url: '${page:0:200}'"
        fi
    fi
fi

# Desktop entry: valid, starts the installed kaptiv, and its icon is installed.
desktop="$root/usr/share/applications/kaptiv.desktop"
if [[ ! -f "$desktop" ]]; then
    fail "no /usr/share/applications/kaptiv.desktop"
else
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [[ -x "$bin/${exec_line%% *}" ]] || fail "desktop entry Exec=$exec_line is not an installed program"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    found=$(find "$root/usr/share/icons/hicolor" -path "*/apps/$icon.*" \( -name '*.png' -o -name '*.svg' \) 2>/dev/null)
    [[ -n "$found" ]] || fail "icon '$icon' is not installed under /usr/share/icons/hicolor"
    if command -v desktop-file-validate >/dev/null; then
        if out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$out" ]]; then
            ok "desktop-file-validate"
        else
            fail "desktop-file-validate: $out"
        fi
    else
        echo "note: desktop-file-validate is not installed (apt-get install desktop-file-utils);" \
             "the desktop entry was not validated"
    fi
fi

# Manual pages: compressed, and formatted without a warning.
for program in kaptiv kaptiv-config kaptiv-exporter mulvane-sim; do
    page="$root/usr/share/man/man1/$program.1.gz"
    if [[ ! -f "$page" ]] || ! gzip -t "$page"; then
        fail "no valid $program.1.gz in /usr/share/man/man1"
        continue
    fi
    if command -v groff >/dev/null; then
        warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1)
        [[ -z "$warnings" ]] || fail "$program.1: $warnings"
    fi
    gzip -dc "$page" | grep -q "^\.SH NAME" || fail "$program.1 has no NAME section"
done

for example in prometheus.yml kaptiv-rules.yml; do
    [[ -s "$root/usr/share/doc/kaptiv/examples/$example" ]] || fail "/usr/share/doc/kaptiv/examples/$example missing"
done

notes="$root/usr/share/doc/kaptiv/serial-access.txt"
if [[ -f "$notes" ]] && grep -q dialout "$notes"; then
    ok "serial-access notes"
else
    fail "/usr/share/doc/kaptiv/serial-access.txt missing or without the dialout group"
fi

# Debian's documents: the machine-readable copyright and the changelog of this version.
docdir="$root/usr/share/doc/kaptiv"
if [[ -f "$docdir/copyright" ]] && head -1 "$docdir/copyright" | grep -q '^Format: .*copyright-format/1.0/'; then
    ok "machine-readable copyright"
else
    fail "/usr/share/doc/kaptiv/copyright missing or not in the machine-readable format"
fi
if [[ -f "$docdir/changelog.gz" ]] && gzip -dc "$docdir/changelog.gz" | head -1 | grep -q "^kaptiv ($version) "; then
    ok "changelog names version $version"
else
    fail "/usr/share/doc/kaptiv/changelog.gz missing or its first entry is not version $version"
fi

# lintian: no error and no warning (informational tags are printed, not counted).
if command -v lintian >/dev/null; then
    report=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1)
    echo "$report" | sed 's/^/lintian: /'
    if grep -Eq '^[EW]: ' <<<"$report"; then
        fail "lintian reports errors or warnings"
    else
        ok "lintian: no error, no warning"
    fi
else
    fail "lintian is not installed (scripts/install-deps.sh installs it)"
fi

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
