#!/bin/sh
# Removes the packages of an application for Tessaly, as root, through
# pkexec and the action com.zqk.tessaly.remove-packages (whose prompt names the
# packages). Usage: removePackages.sh remove|purge PACKAGE...
# Only package names are taken, so that no word can pass for an option.
set -eu
action="${1:-}"
case "$action" in
    remove | purge) ;;
    *)
        echo "usage: $0 remove|purge PACKAGE..." >&2
        exit 2
        ;;
esac
shift
[ "$#" -gt 0 ] || {
    echo "no package named" >&2
    exit 2
}
for name in "$@"; do
    # grep judges line by line: a name holding a line break is no name at all.
    case "$name" in
        *"
"*)
            echo "not a package name" >&2
            exit 2
            ;;
    esac
    if ! printf '%s\n' "$name" | grep -Eqx '[a-z0-9][a-z0-9+.-]+(:[a-z0-9-]+)?'; then
        echo "not a package name: $name" >&2
        exit 2
    fi
done
# pkexec clears the environment: the stand-in of the tests reaches us only
# when it runs us itself.
APT_GET="${TESSALY_APT_GET:-/usr/bin/apt-get}"
export DEBIAN_FRONTEND=noninteractive
exec "$APT_GET" "$action" -y -- "$@"
