#!/bin/sh
# Installs the privileged helper DornDaemon as a system service running as root.
# Run as root (through pkexec, or directly by a program that is root already):
#
#   installDeamon.sh DORNDAEMON JOB_DESCRIPTION [USER_ID]
#
# DORNDAEMON is the service executable, JOB_DESCRIPTION its launchd job
# description com.zqk.DornDaemon.plist, beside which the systemd unit
# com.zqk.DornDaemon.service lies. USER_ID is the installing user's id (default:
# the caller pkexec reports), the one user besides root the service accepts.
#
# The script installs the executable as /usr/local/libexec/DornDaemon, the job
# description under /usr/local/share/tessaly, the unit (with the user id filled
# in) as /etc/systemd/system/com.zqk.DornDaemon.service, enables and (re)starts
# it, and returns once the service answers on its socket. Without a running
# systemd the service is started on its own in the background. Exit status 0
# only when the service answers.
set -eu

if [ "$#" -lt 2 ]; then
    echo "usage: installDeamon.sh DORNDAEMON JOB_DESCRIPTION [USER_ID]" >&2
    exit 2
fi
src_daemon=$1
src_job=$2
uid=${3:-${PKEXEC_UID:-0}}
case "$uid" in
    '' | *[!0-9]*) echo "installDeamon.sh: bad user id" >&2; exit 2 ;;
esac
src_unit=$(dirname -- "$src_job")/com.zqk.DornDaemon.service
if [ ! -f "$src_daemon" ] || [ ! -f "$src_job" ] || [ ! -f "$src_unit" ]; then
    echo "installDeamon.sh: missing installation files" >&2
    exit 2
fi

libexec=/usr/local/libexec
daemon=$libexec/DornDaemon
share=/usr/local/share/tessaly
unit=/etc/systemd/system/com.zqk.DornDaemon.service
runtime=/run/tessaly

install -d -m 0755 "$libexec" "$share" /etc/systemd/system
install -m 0755 -- "$src_daemon" "$daemon.new"
mv -f -- "$daemon.new" "$daemon"
install -m 0644 -- "$src_job" "$share/com.zqk.DornDaemon.plist"
sed "s/@INSTALLING_UID@/$uid/g" "$src_unit" >"$unit.new"
chmod 0644 "$unit.new"
mv -f -- "$unit.new" "$unit"

if [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
    systemctl daemon-reload
    systemctl enable com.zqk.DornDaemon.service
    systemctl restart com.zqk.DornDaemon.service
else
    install -d -m 0755 "$runtime"
    if [ -f "$runtime/DornDaemon.pid" ]; then
        kill "$(cat "$runtime/DornDaemon.pid")" 2>/dev/null || true
    fi
    setsid "$daemon" --allow-uid "$uid" </dev/null >>/var/log/DornDaemon.log 2>&1 &
    echo "$!" >"$runtime/DornDaemon.pid"
fi

tries=0
while [ "$tries" -lt 100 ]; do
    if "$daemon" --probe; then
        exit 0
    fi
    sleep 0.1
    tries=$((tries + 1))
done
echo "installDeamon.sh: the service does not answer" >&2
exit 1
