#!/usr/bin/env bash
# What a new user sees: makes a new minimal Debian bookworm in a folder with debootstrap, clones
# the project's committed state into it and runs scripts/test there as root in a chroot, with
# nothing installed but what debootstrap's minimal base brings and what the project's own
# scripts install (Debian's node 18 among them). Takes long: a full install and every build.
#
#   tests/fresh-debian.sh [DIR]
#
# DIR (default build-fresh-debian/) holds the new system; an existing one is reused as it is
# (its installed packages included), so remove it for a machine that is new again. Needs root.
# The project's committed HEAD is cloned; uncommitted changes are not part of the run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../scripts/common.sh"
cd "$quorvale_root"

[ "$(id -u)" -eq 0 ] || { echo "tests/fresh-debian.sh: run as root (debootstrap and chroot)" >&2; exit 2; }
target=$(realpath -m "${1:-$quorvale_root/build-fresh-debian}")
mirror=${QUORVALE_DEBIAN_MIRROR:-http://deb.debian.org/debian}

install_packages debootstrap git ca-certificates

if [ ! -x "$target/usr/bin/apt-get" ]; then
    echo "== debootstrap --variant=minbase bookworm $target"
    rm -rf "$target"
    debootstrap --variant=minbase bookworm "$target" "$mirror"
fi

# The same archive as the new system's own, with its security and point-release updates.
cat >"$target/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF

# Where this machine reaches npm's registry through a certificate of its own (named by
# NODE_EXTRA_CA_CERTS), the new system must trust it too, or npm refuses the registry for a
# reason no real user would meet. Nothing else of this machine goes in.
ca_env=()
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
    cp "$NODE_EXTRA_CA_CERTS" "$target/root/host-ca.crt"
    ca_env=(NODE_EXTRA_CA_CERTS=/root/host-ca.crt)
fi
cp /etc/resolv.conf "$target/etc/resolv.conf" 2>/dev/null || true
# debootstrap leaves out the hosts file that Debian's installer writes on every real machine.
[ -f "$target/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' \
    >"$target/etc/hosts"

mounted=()
mount_in() {  # mount_in SOURCE DIR [mount options...]
    local dir=$target$2
    mkdir -p "$dir"
    mountpoint -q "$dir" && return 0
    mount "${@:3}" "$1" "$dir"
    mounted=("$dir" "${mounted[@]}")
}
unmount_all() {
    local dir
    for dir in "${mounted[@]}"; do umount -l "$dir" 2>/dev/null || true; done
}
trap unmount_all EXIT
mount_in proc /proc -t proc
mount_in sysfs /sys -t sysfs
mount_in /dev /dev --bind
mount_in devpts /dev/pts -t devpts
mount_in tmpfs /dev/shm -t tmpfs
mount_in tmpfs /tmp -t tmpfs

echo "== cloning $(git rev-parse --short HEAD) into $target/root/quorvale"
rm -rf "$target/root/quorvale"
git clone -q --no-hardlinks "$quorvale_root" "$target/root/quorvale"

echo "== scripts/test in the new system (started $(date -u +%H:%M:%S) UTC)"
start=$(date +%s)
status=0
chroot "$target" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${ca_env[@]}" \
    /bin/bash -c 'cd /root/quorvale && scripts/test' || status=$?
echo "fresh-debian: scripts/test exited $status after $(( ($(date +%s) - start) / 60 )) min"
exit "$status"
