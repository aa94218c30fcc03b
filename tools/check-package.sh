#!/bin/sh
# Installs the Debian package into a fresh Debian 12 (bookworm) tree made with
# debootstrap, then starts both programs there. Needs root. Usage:
#   tools/check-package.sh build/adtest_*.deb [tree]
set -eu
package=$(realpath "$1")
tree=${2:-/tmp/adtest-bookworm}

if [ ! -x "$tree/usr/bin/apt-get" ]; then
    debootstrap --variant=minbase bookworm "$tree" http://deb.debian.org/debian
fi
cp "$package" "$tree/tmp/adtest.deb"
mount --bind /proc "$tree/proc"
trap 'umount "$tree/proc"' EXIT

chroot "$tree" /bin/sh -euc '
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q /tmp/adtest.deb
    adsim --help | head -n 1
    # The window on the offscreen platform: still running after 3 s means it started.
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 adtest || status=$?
    [ "$status" -eq 124 ] || { echo "adtest ended with status $status"; exit 1; }
    test -f /usr/share/applications/adtest.desktop
    test -f /usr/share/icons/hicolor/scalable/apps/adtest.svg
    echo "package check: installed and started"
'
