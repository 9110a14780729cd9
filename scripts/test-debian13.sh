#!/usr/bin/env bash
# Runs both README commands on a fresh, minimal Debian 13 ("trixie"), as a
# new user would: a system made with debootstrap that has only git, make and
# sudo added, a clone of this repository's committed HEAD, the packages
# installed by the project's own script, then `make test` and `make play`.
# The tests run in a network namespace of their own (unshare -n), so their X
# and Wayland displays can never meet the host's. Needs root and
# debootstrap; takes the mirror the machine's own apt uses (or MIRROR), and
# removes the system again at the end (KEEP=1 keeps it, and says where).
set -euo pipefail
cd "$(dirname "$0")/.."
repository=$(pwd)

if [ "$(id -u)" -ne 0 ]; then exec sudo --preserve-env=CI,MIRROR,KEEP bash "$0" "$@"; fi
command -v debootstrap > /dev/null || {
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap > /dev/null
}

# The first Debian archive this machine's apt reads (not its security one).
apt_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2> /dev/null | tr ' ' '\n'
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2> /dev/null
    } | grep -v security | head -1 || true
}
mirror=${MIRROR:-$(apt_mirror)}
[ -n "$mirror" ] || { echo "No Debian mirror found in the apt sources: set MIRROR." >&2; exit 1; }

root=$(mktemp -d /var/tmp/tubechain-debian13-XXXXXX)
# A system's root folder is open to every user (mktemp makes it private).
chmod 755 "$root"
cleanup() {
    # Nothing may still run inside when the mounts go.
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2> /dev/null)" = "$root" ] && kill -9 "${process#/proc/}" 2> /dev/null
    done
    for mount in dev/pts dev sys proc; do umount -l "$root/$mount" 2> /dev/null || true; done
    if [ "${KEEP:-}" = 1 ]; then echo "The Debian 13 system stays in $root (unmounted)."; else rm -rf "$root"; fi
}
trap cleanup EXIT

started=$SECONDS
echo "Debian 13: a minimal system from $mirror in $root"
debootstrap --variant=minbase --include=git,make,sudo trixie "$root" "$mirror" > "$root.log" 2>&1 ||
    { tail -20 "$root.log" >&2; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
git clone --quiet "$repository" "$root/root/tubechain"
echo "Debian 13: system made in $((SECONDS - started)) s; installing and building"

inside() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    CI="${CI:-}" bash -c "cd /root/tubechain && $1"; }
# The packages come from the network; nothing after this step may need it.
inside "bash scripts/install-deps.sh test demo > /root/build.log 2>&1 && make build >> /root/build.log 2>&1" ||
    { tail -40 "$root/root/build.log" >&2; exit 1; }
echo "Debian 13: installed and built in $((SECONDS - started)) s; make test"

status=0
unshare -n bash -c "$(declare -f inside); root=$root; inside 'make test'" || status=$?
echo "Debian 13: make test ended with status $status after $((SECONDS - started)) s; make play"
# Without a display it records the demo on a virtual one.
played=0
unshare -n bash -c "$(declare -f inside); root=$root; inside 'make play > /root/play.log 2>&1'" || played=$?
if [ "$played" -ne 0 ] || [ ! -s "$root/root/tubechain/demo/chain.gif" ] || [ ! -s "$root/root/tubechain/demo/sound.wav" ]; then
    echo "Debian 13: make play failed (status $played):" >&2
    tail -20 "$root/root/play.log" >&2
    status=1
fi
echo "Debian 13: done in $((SECONDS - started)) s, status $status"
exit "$status"
