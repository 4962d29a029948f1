#!/usr/bin/env bash
# The package's maintainer scripts are valid POSIX sh and never fail an
# installation or removal over udev: not running (a container), or udevadm
# failing. Where udev runs, they reload the rules; where it does not, they
# leave udevadm alone. udevadm is a stand-in that records its calls and fails.
# Usage: maintainer_scripts_test.sh PACKAGING_DEBIAN_DIR
set -uo pipefail
dir=$1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$work/calls"
exit 1
STUB
chmod +x "$work/bin/udevadm"

udev_running=no
[ -S /run/udev/control ] && udev_running=yes

for script in postinst postrm; do
    file=$dir/$script
    [ -x "$file" ] || fail "$script is not executable"
    [ "$(head -1 "$file")" = '#!/bin/sh' ] || fail "$script does not start with #!/bin/sh"
    sh -n "$file" || fail "$script: syntax error"
    if command -v checkbashisms >/dev/null 2>&1; then
        checkbashisms "$file" || fail "$script uses bash features"
    fi
    case $script in
        postinst) actions="configure abort-upgrade" ;;
        postrm) actions="remove purge upgrade abort-install" ;;
    esac
    for action in $actions; do
        rm -f "$work/calls"
        PATH="$work/bin:$PATH" sh "$file" "$action" 2>"$work/stderr"
        status=$?
        [ $status -eq 0 ] || fail "$script $action exits $status: $(cat "$work/stderr")"
        calls=$(cat "$work/calls" 2>/dev/null)
        applies=no
        case "$script $action" in "postinst configure" | "postrm remove" | "postrm purge") applies=yes ;; esac
        if [ $udev_running = yes ] && [ $applies = yes ]; then
            [[ $calls == *"control --reload-rules"* ]] || fail "$script $action did not reload the rules"
        elif [ -n "$calls" ]; then
            fail "$script $action called udevadm: $calls"
        fi
    done
done

[ $failures -eq 0 ] && echo "the maintainer scripts never fail over udev (udev running here: $udev_running)"
exit $((failures > 0))
