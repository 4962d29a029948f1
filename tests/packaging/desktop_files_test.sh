#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators, name the
# same application, speak English and Russian, and the icon they name exists
# in every size the icon theme is given, at that size.
# Usage: desktop_files_test.sh DESKTOP_FILE METAINFO_FILE ICON_DIR
set -uo pipefail
desktop=$1
metainfo=$2
icons=$3
command -v desktop-file-validate >/dev/null 2>&1 || { echo "desktop-file-validate not found"; exit 77; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Hints count too: a clean entry has nothing to say.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
if command -v appstreamcli >/dev/null 2>&1; then
    out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli: $out"
else
    echo "appstreamcli not found: the metainfo is not validated"
fi

for key in Name Comment GenericName; do
    grep -q "^$key=" "$desktop" || fail "no English $key"
    grep -q "^$key\[ru\]=" "$desktop" || fail "no Russian $key"
done
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] || fail "the metainfo launches \"$launchable\""
[ "$id.desktop" = "$(basename "$desktop")" ] || fail "the metainfo's id \"$id\" is not the entry's name"
grep -q "^Exec=modemcfg$" "$desktop" || fail "the entry does not start modemcfg"

# PNG: width and height are the big-endian words at bytes 16 and 20.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*2^24+$2*2^16+$3*2^8+$4, $5*2^24+$6*2^16+$7*2^8+$8 }'
}
grep -q "^Icon=modemcfg$" "$desktop" || fail "the entry's icon is not modemcfg"
for size in 16 32 48 64 128; do
    file=$icons/modem-$size.png
    [ -f "$file" ] || { fail "$file missing"; continue; }
    [ "$(png_size "$file")" = "${size}x$size" ] || fail "$file is $(png_size "$file")"
done
grep -q "<svg" "$icons/modem.svg" || fail "no scalable icon"

[ $failures -eq 0 ] && echo "desktop entry, metainfo and icons are sound"
exit $((failures > 0))
