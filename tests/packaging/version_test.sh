#!/usr/bin/env bash
# Each program's --version names it and the project version (and the commit of
# a git checkout), and its --help prints its usage with status 0; the header it comes from names the commit, and is rewritten
# only when its text changes, so an unchanged checkout rebuilds nothing.
# Usage: version_test.sh VERSION WRITE_VERSION_CMAKE MODEMCTL [MODEM_SIM] [MODEMCFG]
set -uo pipefail
version=$1
write_version=$2
shift 2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# ---- the programs ----
escaped=${version//./\\.}
for program in "$@"; do
    [ -n "$program" ] || continue
    name=$(basename "$program")
    # No display at all: --version must not need one.
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>&1)
    status=$?
    [ $status -eq 0 ] || fail "$name --version exits $status: $out"
    [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "$name --version prints more than one line: $out"
    [[ $out =~ ^$name\ $escaped(\ \(git\ [^\)]+\))?$ ]] || fail "$name --version prints \"$out\""
done

# ---- and --help: the usage on standard output, status 0, no display needed ----
for program in "$@"; do
    [ -n "$program" ] || continue
    name=$(basename "$program")
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help 2>/dev/null)
    status=$?
    [ $status -eq 0 ] || fail "$name --help exits $status"
    [[ $out == *--version* ]] || fail "$name --help does not print the usage: $out"
done

# ---- the generated header ----
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
header=$work/version_info.h
write() { # SOURCE_DIR
    cmake -DSOURCE_DIR="$1" -DOUTPUT="$header" -DVERSION=9.8.7 -P "$write_version" >/dev/null
}
defined() {
    sed -n 's/^#define MODEM_VERSION_TEXT "\(.*\)"$/\1/p' "$header"
}

mkdir "$work/plain"
write "$work/plain"
[ "$(defined)" = "9.8.7" ] || fail "outside a checkout the version is \"$(defined)\""
touch -d @1000000000 "$header"
write "$work/plain"
[ "$(stat -c %Y "$header")" = 1000000000 ] || fail "an unchanged version rewrote the header"

if command -v git >/dev/null 2>&1; then
    repo=$work/repo
    git() { command git -C "$repo" -c user.name=test -c user.email=test@example.org "$@"; }
    mkdir "$repo" && git init -q && echo one >"$repo/file" && git add file && git commit -qm one
    write "$repo"
    first=$(git rev-parse --short=12 HEAD)
    [ "$(defined)" = "9.8.7 (git $first)" ] || fail "in a checkout the version is \"$(defined)\", not with $first"

    touch -d @1000000000 "$header"
    write "$repo"
    [ "$(stat -c %Y "$header")" = 1000000000 ] || fail "the same commit rewrote the header"

    echo two >"$repo/file"
    write "$repo"
    [ "$(defined)" = "9.8.7 (git $first-dirty)" ] || fail "a modified checkout gives \"$(defined)\""

    git commit -qam two
    write "$repo"
    second=$(git rev-parse --short=12 HEAD)
    [ "$(defined)" = "9.8.7 (git $second)" ] || fail "after a new commit the version is \"$(defined)\""
else
    echo "git not found: the commit is not checked"
fi

[ $failures -eq 0 ] && echo "all version checks passed"
exit $((failures > 0))
