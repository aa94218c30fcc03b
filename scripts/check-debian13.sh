#!/bin/sh
# Builds the project and runs its whole test suite (the three parts of
# `make test`: the normal tests, the sanitizer build's tests and the fuzz
# targets) in a fresh Debian 13 (trixie) tree. Needs root. Usage:
#   scripts/check-debian13.sh [-b base] [-c commit] [-j jobs] [-t targets] [-k] [make variables...]
#     -b base     an existing trixie tree (debootstrap --variant=minbase) to start
#                 from; it is copied and stays as it is. Without it, a tree is
#                 made with debootstrap.
#     -c commit   what to build (HEAD when not given), exported with git
#                 archive: uncommitted changes are not part of it.
#     -j jobs     parallel compile jobs (2 when not given).
#     -t targets  the make targets to run (default "check check-sanitize fuzz").
#     -k          keep the working tree afterwards instead of removing it.
# Make variables such as FUZZ_SECONDS=5 SOAK_SECONDS=10 are passed to make.
# Prints the outcome and time of each target and exits non-zero if any failed.
set -eu

# Run in a mount namespace of our own: the mounts below then vanish with the
# script and what it started, however it ends.
if [ -z "${ADTEST_CHECK_NAMESPACE:-}" ]; then
    ADTEST_CHECK_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$@"
fi

base=""
commit=HEAD
jobs=2
targets="check check-sanitize fuzz"
keep=0
while getopts b:c:j:t:k option; do
    case $option in
    b) base=$(realpath "$OPTARG") ;;
    c) commit=$OPTARG ;;
    j) jobs=$OPTARG ;;
    t) targets=$OPTARG ;;
    k) keep=1 ;;
    *) sed -n '2,15s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))

[ "$(id -u)" -eq 0 ] || { echo "check-debian13: needs root (debootstrap, chroot, mount)" >&2; exit 2; }
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
revision=$(git -C "$repo" rev-parse --verify "$commit^{commit}")
if [ -n "$base" ] && ! grep -qs '^VERSION_CODENAME=trixie$' "$base/etc/os-release"; then
    echo "check-debian13: $base is not a Debian 13 (trixie) tree" >&2
    exit 2
fi

tree=$(mktemp -d "${TMPDIR:-/var/tmp}/adtest-trixie.XXXXXX")
started=$(date +%s)
session=""

# shellcheck disable=SC2317 # run by the traps
cleanup() {
    status=$?
    trap - EXIT INT TERM HUP
    # A signal ends the script while a command runs in the tree: end that too.
    if [ -n "$session" ]; then
        kill -KILL "-$session" 2>/dev/null || true
        sleep 1
    fi
    for point in dev/shm dev/pts dev sys proc; do
        if mountpoint -q "$tree/$point"; then
            umount "$tree/$point" || umount -l "$tree/$point" || true
        fi
    done
    # Never delete through a mount that is still there: it would reach the
    # host's own files.
    if grep -q " $tree/" /proc/self/mounts; then
        echo "check-debian13: $tree still has mounts; left in place" >&2
    elif [ "$keep" -eq 1 ]; then
        echo "check-debian13: the tree is kept in $tree"
    else
        rm -rf --one-file-system "$tree" || echo "check-debian13: could not remove $tree" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
# The shell runs a trap only once the foreground command has ended; a command
# in the background, waited for, lets a signal stop the script at once. The
# command leads a session of its own, so cleanup can end all it started.
interruptible() {
    setsid "$@" &
    session=$!
    command_status=0
    wait "$session" || command_status=$?
    session=""
    return "$command_status"
}
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

echo "== Debian 13 tree in $tree"
chmod 755 "$tree"
if [ -n "$base" ]; then
    cp -a "$base/." "$tree/"
else
    interruptible debootstrap --variant=minbase trixie "$tree" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$tree/etc/resolv.conf"

# What the tests need: /proc for CPU times, pseudo-terminals in a devpts of
# the tree's own (so the host's terminals stay out of reach), a few device
# nodes and shared memory.
mount -t proc proc "$tree/proc"
mount --bind -o ro /sys "$tree/sys"
mount -t tmpfs -o mode=755,nosuid tmpfs "$tree/dev"
make_node() { mknod -m 666 "$tree/dev/$1" c "$2" "$3"; }
make_node null 1 3
make_node zero 1 5
make_node full 1 7
make_node random 1 8
make_node urandom 1 9
make_node tty 5 0
mkdir "$tree/dev/pts" "$tree/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$tree/dev/pts"
ln -s pts/ptmx "$tree/dev/ptmx"
ln -s /proc/self/fd "$tree/dev/fd"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$tree/dev/shm"

mkdir -p "$tree/root/adtest"
git -C "$repo" archive --format=tar "$revision" | tar -x -C "$tree/root/adtest"
echo "== $(git -C "$repo" log -1 --format='%h %s' "$revision")"

in_tree() {
    interruptible nice chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive CMAKE_BUILD_PARALLEL_LEVEL="$jobs" \
        /bin/sh -euc 'cd /root/adtest && "$@"' sh "$@"
}

in_tree sh -c 'apt-get update -q && scripts/install-deps.sh make'
setup_seconds=$(($(date +%s) - started))

summary=""
failed=0
for target in $targets; do
    echo "== make $target"
    target_started=$(date +%s)
    if in_tree make "$target" "$@"; then
        outcome=passed
    else
        outcome=FAILED
        failed=1
    fi
    summary="$summary$(printf '%-16s %-7s %6d s' "$target" "$outcome" \
        $(($(date +%s) - target_started)))
"
done

echo "== Debian $(cat "$tree/etc/debian_version"), GCC $(in_tree gcc -dumpfullversion 2>/dev/null || echo '?')," \
    "Qt $(in_tree dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo '?')"
printf '%-16s %-7s %6d s\n' "tree set-up" "done" "$setup_seconds"
printf '%s' "$summary"
printf '%-16s %-7s %6d s\n' total "" $(($(date +%s) - started))
exit "$failed"
