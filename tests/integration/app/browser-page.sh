#!/usr/bin/env bash
# kaptiv on a desktop: the browser is opened on a page that redirects to the address, so the
# token never appears on a command line; the page is readable by its user only and goes with
# the program. Then SIGTERM ends the program within 2 s.
#   browser-page.sh KAPTIV
set -euo pipefail
kaptiv=$1
work=$(mktemp -d)
trap 'kill -9 "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/run" "$work/program"
chmod 700 "$work/run"
cat >"$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$work/arguments.tmp"
cat "\$1" >"$work/page" 2>/dev/null
stat -c '%a' "\$1" >"$work/mode" 2>/dev/null
stat -c '%a' "\$(dirname "\$1")" >"$work/folder-mode" 2>/dev/null
mv "$work/arguments.tmp" "$work/arguments"
SCRIPT
chmod 755 "$work/bin/xdg-open"

cd "$work/program"
PATH="$work/bin:$PATH" DISPLAY=:99 XDG_RUNTIME_DIR="$work/run" \
    "$kaptiv" --profile "$work/kaptiv.ini" --serial /nonexistent/kaptiv-tty >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
    [[ -f "$work/arguments" ]] && grep -q '^URL ' "$work/out" && break
    sleep 0.1
done
fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }
[[ -f "$work/arguments" ]] || fail "the browser was not opened"
url=$(sed -n 's/^URL //p' "$work/out")
token=${url##*=}
[[ -n "$token" && "$token" != "$url" ]] || fail "no token in the printed URL: $url"
grep -qF "$token" "$work/arguments" && fail "the token is on the opener's command line: $(cat "$work/arguments")"
page=$(head -1 "$work/arguments")
[[ "$page" == "$work/run/"* ]] || fail "the page is not under XDG_RUNTIME_DIR: $page"
grep -qF "url=$url" "$work/page" || fail "the page does not redirect to $url"
[[ "$(cat "$work/mode")" == 600 ]] || fail "the page has mode $(cat "$work/mode")"
[[ "$(cat "$work/folder-mode")" == 700 ]] || fail "the page's folder has mode $(cat "$work/folder-mode")"
[[ -f "$page" ]] || fail "the page went while the program runs"

start=$(date +%s%N)
kill -TERM "$pid"
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$pid" 2>/dev/null && fail "kaptiv still runs 2.5 s after SIGTERM"
wait "$pid" || true
elapsed=$((($(date +%s%N) - start) / 1000000))
((elapsed < 2000)) || fail "kaptiv took $elapsed ms to end after SIGTERM"
[[ -e "$page" ]] && fail "the page is left behind"
echo "browser page and SIGTERM: ok ($elapsed ms)"
