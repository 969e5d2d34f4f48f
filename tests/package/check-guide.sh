#!/usr/bin/env bash
# The user's guide and its pictures stay in step: every picture the guide shows is in
# docs/images/ and is one that scripts/refresh-guide-images.sh refreshes, every picture there is
# shown, and every link to a section of the guide leads to a heading. Given the three programs,
# every option the README's option tables list is in that program's --help.
#   check-guide.sh SOURCE_DIR [KAPTIV KAPTIV_CONFIG MULVANE_SIM]
set -uo pipefail
src="$1"
guide="$src/docs/guide.md"
script="$src/scripts/refresh-guide-images.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[[ -f "$guide" ]] || { echo "FAIL: no docs/guide.md"; exit 1; }
mapfile -t shown < <(grep -o '](images/[^)]*)' "$guide" | sed 's/^](images\///; s/)$//' | sort -u)
mapfile -t refreshed < <(sed -n '/^images=(/,/^)/p' "$script" | grep -o '^ *[A-Za-z0-9._-]*\.png' | tr -d ' ' | sort -u)
((${#shown[@]} > 0)) || fail "the guide shows no picture"
((${#refreshed[@]} > 0)) || fail "no picture list in scripts/refresh-guide-images.sh"

for image in "${shown[@]}"; do
    [[ -f "$src/docs/images/$image" ]] || fail "the guide shows images/$image, which is not in docs/images/"
    [[ " ${refreshed[*]} " == *" $image "* ]] || fail "images/$image is not refreshed by scripts/refresh-guide-images.sh"
done
for file in "$src"/docs/images/*.png; do
    [[ -e "$file" ]] || continue
    [[ " ${shown[*]} " == *" $(basename "$file") "* ]] || fail "docs/images/$(basename "$file") is not shown in the guide"
done
for image in "${refreshed[@]}"; do
    [[ " ${shown[*]} " == *" $image "* ]] || fail "$image is refreshed but not shown in the guide"
done

# Section links: GitHub's anchors (lower case, punctuation dropped, spaces to hyphens).
mapfile -t anchors < <(grep -E '^#{1,6} ' "$guide" | sed -E 's/^#+ //' | tr 'A-Z' 'a-z' |
    sed -E 's/[^a-z0-9 _-]//g; s/ /-/g')
while read -r link; do
    [[ " ${anchors[*]} " == *" $link "* ]] || fail "link to #$link leads to no heading"
done < <(grep -o '](#[^)]*)' "$guide" | sed 's/^](#//; s/)$//' | sort -u)

grep -q '(docs/guide.md)' "$src/README.md" || fail "README.md does not link docs/guide.md"

# README: after the line "`PROGRAM`:" comes that program's table; the options are the --words
# of its first column.
options_checked=0
check_options() { # NAME PROGRAM
    local name="$1" program="$2" help option
    help=$("$program" --help 2>&1) || { fail "$name --help failed"; return; }
    mapfile -t listed < <(awk -v head="\`$name\`:" '
        $0 == head { inside = 1; next }
        inside && /^\|/ { split($0, cells, "|"); print cells[2]; seen = 1; next }
        inside && seen { exit }' "$src/README.md" | grep -o -- '--[a-z][a-z-]*' | sort -u)
    ((${#listed[@]} > 0)) || fail "README lists no option of $name"
    for option in "${listed[@]}"; do
        options_checked=$((options_checked + 1))
        grep -q -- "$option\b" <<<"$help" || fail "README lists $option for $name, which its --help does not name"
    done
}
if (($# >= 4)); then
    check_options kaptiv "$2"
    check_options kaptiv-config "$3"
    check_options mulvane-sim "$4"
fi

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "guide: ${#shown[@]} pictures, all present and refreshed; section links lead to headings;" \
     "$options_checked README options found in the programs' --help"
