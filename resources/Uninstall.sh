#!/bin/sh
# Removes the privileged helper DornDaemon that installDeamon.sh installed. Run
# as root, with no arguments, by Tessaly when it removes itself, while the
# helper is still installed (the application checks first that this script and
# every folder above it are root's alone):
#
#   Uninstall.sh
#
# It stops and disables the unit com.zqk.DornDaemon.service (or, without a
# running systemd, the service started on its own), and removes
# /etc/systemd/system/com.zqk.DornDaemon.service with its drop-in folder,
# /usr/local/libexec/DornDaemon, the job description in
# /usr/local/share/tessaly (and that folder when nothing else is left in it) and
# the runtime folder /run/tessaly. The administrator's own list of extra places,
# /etc/tessaly/helper-roots, is kept. Exit status 0 only when all of those are
# gone.
#
# TESSALY_INSTALL_ROOT (tests): a folder that stands for / ; the files are
# removed there and nothing is stopped.
set -u

dest=${TESSALY_INSTALL_ROOT:-}
unit=$dest/etc/systemd/system/com.zqk.DornDaemon.service
daemon=$dest/usr/local/libexec/DornDaemon
share=$dest/usr/local/share/tessaly
job=$share/com.zqk.DornDaemon.plist
runtime=$dest/run/tessaly

if [ -z "$dest" ]; then
    if [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
        systemctl disable --now com.zqk.DornDaemon.service >/dev/null 2>&1 || true
    fi
    if [ -f "$runtime/DornDaemon.pid" ]; then
        pid=$(cat "$runtime/DornDaemon.pid")
        case "$pid" in
            '' | *[!0-9]*) ;;
            *) kill "$pid" 2>/dev/null || true ;;
        esac
    fi
fi

rm -f -- "$unit"
rm -rf -- "$unit.d"
rm -f -- "$daemon"
rm -f -- "$job"
rmdir -- "$share" 2>/dev/null || true
rm -rf -- "$runtime"

if [ -z "$dest" ] && [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
    systemctl daemon-reload >/dev/null 2>&1 || true
fi

for left in "$unit" "$unit.d" "$daemon" "$job" "$runtime"; do
    if [ -e "$left" ]; then
        echo "Uninstall.sh: $left could not be removed" >&2
        exit 1
    fi
done
exit 0
