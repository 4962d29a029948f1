#!/usr/bin/env bash
# The package's maintainer scripts are valid POSIX sh, never fail an
# installation or removal over udev, and where udev runs they reload the rules
# and send a "change" event to every plugged-in modem, and to nothing else.
#
# Each script runs as a copy whose two system paths, udev's control socket and
# sysfs's USB devices, point into a folder made here: a socket stands for a
# running udev, and USB devices with and without the modem's identifiers for
# what is plugged in. udevadm is a stand-in that records its calls and
# succeeds or fails as each case asks.
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
mkdir -p "$work/bin" "$work/run/udev"
cat >"$work/bin/udevadm" <<STUB
#!/bin/sh
echo "\$*" >>"$work/calls"
case "\$1" in
    control) exit "\$(cat "$work/control-status")" ;;
    *) exit "\$(cat "$work/trigger-status")" ;;
esac
STUB
chmod +x "$work/bin/udevadm"

socket=$work/run/udev/control
perl -MIO::Socket::UNIX -e \
    'IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0], Listen => 1) or die "$!\n"' \
    "$socket" || { echo "cannot make a socket for udev"; exit 77; }

# Three USB devices as sysfs shows them: /sys/bus/usb/devices/* are links to
# the devices' folders, which hold their identifiers.
usb=$work/sys/bus/usb/devices
devices=$work/sys/devices/pci0000:00/0000:00:14.0/usb1
mkdir -p "$usb"
add_device() { # NAME VENDOR PRODUCT
    mkdir -p "$devices/$1"
    echo "$2" >"$devices/$1/idVendor"
    echo "$3" >"$devices/$1/idProduct"
    ln -s "../../../devices/pci0000:00/0000:00:14.0/usb1/$1" "$usb/$1"
}
add_device 1-1 0403 6001   # another vendor
add_device 1-2 1fc9 2909   # the modem
add_device 1-3 1fc9 2908   # the vendor's other product
mkdir -p "$devices/1-2/1-2:1.0"   # an interface: no identifiers of its own
ln -s "../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0" "$usb/1-2:1.0"
modem=$(readlink -f "$usb/1-2")

for script in postinst postrm; do
    file=$dir/$script
    [ -x "$file" ] || fail "$script is not executable"
    [ "$(head -1 "$file")" = '#!/bin/sh' ] || fail "$script does not start with #!/bin/sh"
    sh -n "$file" || fail "$script: syntax error"
    if command -v checkbashisms >/dev/null 2>&1; then
        checkbashisms "$file" || fail "$script uses bash features"
    fi
    for path in /run/udev/control /sys/bus/usb/devices; do
        grep -q "$path" "$file" || fail "$script no longer looks at $path: this test must follow it"
    done
    sed -e "s|/run/udev/control|$socket|g" -e "s|/sys/bus/usb/devices|$usb|g" "$file" \
        >"$work/$script"

    case $script in
        postinst) actions="configure abort-upgrade" ;;
        postrm) actions="remove purge upgrade abort-install" ;;
    esac
    for action in $actions; do
        applies=no
        case "$script $action" in "postinst configure" | "postrm remove" | "postrm purge") applies=yes ;; esac
        # udev: running with udevadm working, running with each step failing, absent.
        for udev in works trigger-fails reload-fails absent; do
            what="$script $action ($udev)"
            case $udev in
                works) echo 0 >"$work/control-status"; echo 0 >"$work/trigger-status" ;;
                trigger-fails) echo 0 >"$work/control-status"; echo 1 >"$work/trigger-status" ;;
                reload-fails) echo 1 >"$work/control-status"; echo 0 >"$work/trigger-status" ;;
                absent) mv "$socket" "$socket.away" ;;
            esac
            rm -f "$work/calls"
            PATH="$work/bin:$PATH" sh "$work/$script" "$action" 2>"$work/stderr"
            status=$?
            [ "$udev" != absent ] || mv "$socket.away" "$socket"
            [ $status -eq 0 ] || fail "$what exits $status: $(cat "$work/stderr")"
            calls=$(cat "$work/calls" 2>/dev/null)
            expected=""
            if [ $applies = yes ]; then
                case $udev in
                    works | trigger-fails)
                        expected=$(printf '%s\n' "control --reload-rules" \
                            "trigger --action=change --parent-match=$modem")
                        ;;
                    reload-fails) expected="control --reload-rules" ;;
                esac
            fi
            [ "$calls" = "$expected" ] ||
                fail "$what called udevadm with:
${calls:-(nothing)}
expected:
${expected:-(nothing)}"
        done
    done
done

[ $failures -eq 0 ] && echo "the maintainer scripts reload the rules and send the modem a change event, and never fail over udev"
exit $((failures > 0))
