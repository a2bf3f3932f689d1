#!/bin/sh
# Installs the privileged helper DornDaemon as a system service running as root.
# Run as root: through pkexec, which shows the polkit action
# com.zqk.tessaly.install-helper for this script, or directly by a program that
# is root already:
#
#   installDeamon.sh [USER_ID]
#
# What is installed comes only from the folder this script lies in (the
# application's share/tessaly): DornDaemon, com.zqk.DornDaemon.service and
# com.zqk.DornDaemon.plist. Those files, the script and every folder above them
# must belong to root and be writable by no one else (a folder others may write
# to must be sticky), so that no user can change them between the request and
# this step; otherwise nothing is installed. Each copy is compared with its
# source before it is put in place.
#
# USER_ID is the one user besides root that the service accepts: under pkexec
# always the user pkexec reports (PKEXEC_UID), otherwise the argument.
#
# The script installs /usr/local/libexec/DornDaemon, the job description under
# /usr/local/share/tessaly, the unit (with the user id filled in) as
# /etc/systemd/system/com.zqk.DornDaemon.service with a drop-in that opens the
# extra roots of /etc/tessaly/helper-roots to it, enables and (re)starts it, and
# returns once the service answers on its socket. Without a running systemd the
# service is started on its own in the background. Exit status 0 only when the
# service answers.
#
# TESSALY_INSTALL_ROOT (tests): a folder that stands for / ; the files are put
# there and nothing is started.
set -eu

here=$(cd -- "$(dirname -- "$0")" && pwd -P)
src_daemon=$here/DornDaemon
src_unit=$here/com.zqk.DornDaemon.service
src_job=$here/com.zqk.DornDaemon.plist

refuse() {
    echo "installDeamon.sh: $1; nothing was installed" >&2
    exit 3
}

# Whether a file or folder belongs to root and no one else can change it.
root_only() {
    info=$(stat -c '%u %a %F' -- "$1" 2>/dev/null) || return 1
    owner=${info%% *}
    rest=${info#* }
    mode=$(printf '%04d' "${rest%% *}")
    kind=${rest#* }
    [ "$owner" = 0 ] || return 1
    case "$kind" in
        "regular file" | "regular empty file" | directory) ;;
        *) return 1 ;;
    esac
    group_digit=$(echo "$mode" | cut -c3)
    other_digit=$(echo "$mode" | cut -c4)
    special=$(echo "$mode" | cut -c1)
    if [ $(((group_digit | other_digit) & 2)) -ne 0 ]; then
        [ "$kind" = directory ] && [ $((special & 1)) -eq 1 ] || return 1
    fi
    return 0
}

for f in "$src_daemon" "$src_unit" "$src_job" "$here/installDeamon.sh"; do
    root_only "$f" || refuse "$f is missing or not root's alone"
done
folder=$here
while :; do
    root_only "$folder" || refuse "the folder $folder is not root's alone"
    [ "$folder" = / ] && break
    folder=$(dirname -- "$folder")
done

if [ -n "${PKEXEC_UID:-}" ]; then
    uid=$PKEXEC_UID
else
    uid=${1:-0}
fi
case "$uid" in
    '' | *[!0-9]*) echo "installDeamon.sh: bad user id" >&2; exit 2 ;;
esac

# The accepted user's home folder, the one home the service may see. A home
# that systemd's unit syntax cannot carry as it is (quotes, backslashes,
# spaces, a specifier sign, | or &) is left out: the service then serves no home.
home=
if [ "$uid" != 0 ]; then
    home=$(getent passwd "$uid" | cut -d: -f6) || home=
fi
case "$home" in
    /*) ;;
    *) home= ;;
esac
case "$home" in
    *'"'* | *'\'* | *'%'* | *' '* | *'	'* | *'|'* | *'&'*) home= ;;
esac
[ -n "$home" ] || home=/nonexistent/tessaly-no-home

dest=${TESSALY_INSTALL_ROOT:-}
libexec=$dest/usr/local/libexec
daemon=$libexec/DornDaemon
share=$dest/usr/local/share/tessaly
units=$dest/etc/systemd/system
unit=$units/com.zqk.DornDaemon.service
roots_file=$dest/etc/tessaly/helper-roots
runtime=/run/tessaly

# Copies a root-owned source into place through a new file that is compared
# with the source before it replaces the old one.
place() {
    install -m "$3" -o 0 -g 0 -- "$1" "$2.new"
    if ! cmp -s -- "$1" "$2.new"; then
        rm -f -- "$2.new"
        refuse "the copy of $1 differs from it"
    fi
    mv -f -- "$2.new" "$2"
}

install -d -m 0755 "$libexec" "$share" "$units"
place "$src_daemon" "$daemon" 0755
place "$src_job" "$share/com.zqk.DornDaemon.plist" 0644
sed -e "s/@INSTALLING_UID@/$uid/g" -e "s|@INSTALLING_HOME@|$home|g" "$src_unit" >"$unit.new"
chmod 0644 "$unit.new"
mv -f -- "$unit.new" "$unit"

# The extra roots may be written to by the service as well.
dropin=$unit.d/roots.conf
if [ -f "$roots_file" ]; then
    install -d -m 0755 "$unit.d"
    {
        echo "# Made by installDeamon.sh from $roots_file"
        echo "[Service]"
        grep -v '^[[:space:]]*\(#\|$\)' "$roots_file" | while IFS= read -r line; do
            case "$line" in
                /*) ;;
                *) continue ;;
            esac
            case "$line" in
                *'"'* | *'\'* | *'%'*) continue ;;
            esac
            echo "ReadWritePaths=\"-$line\""
        done
    } >"$dropin.new"
    chmod 0644 "$dropin.new"
    mv -f -- "$dropin.new" "$dropin"
else
    rm -f -- "$dropin"
fi

if [ -n "$dest" ]; then
    exit 0
fi

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
