#!/usr/bin/env bash
# The user's guide and its pictures stay in step: every picture the guide shows is in
# docs/images/ and is one that scripts/refresh-guide-images.sh refreshes, every picture there is
# shown, and every link to a section of the guide leads to a heading.
#   check-guide.sh SOURCE_DIR
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

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "guide: ${#shown[@]} pictures, all present and refreshed; section links lead to headings"
