#!/bin/sh
# Installs the Debian package into a fresh Debian 12 (bookworm) tree made with
# debootstrap, then starts both programs there, and checks that the program
# explains a missing desktop rather than crashing. Needs root. Usage:
#   scripts/check-package.sh build/adtest_*.deb [tree]
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
    # Without a display: one line of explanation and status 1, not an abort.
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 adtest || status=$?
    [ "$status" -eq 1 ] || { echo "adtest without a display ended with status $status"; exit 1; }
    for file in applications/adtest.desktop icons/hicolor/scalable/apps/adtest.svg \
            metainfo/org.example.adtest.metainfo.xml man/man1/adtest.1.gz \
            man/man1/adsim.1.gz doc/adtest/copyright doc/adtest/changelog.gz; do
        test -f "/usr/share/$file" || { echo "missing: /usr/share/$file"; exit 1; }
    done
    echo "package check: installed and started"
'
