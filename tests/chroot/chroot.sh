#!/usr/bin/env bash
# The second test platform: the same build and test suites run inside a Debian chroot of a newer
# suite (unstable by default), next to the host's Debian 12 run.
#
#   tests/chroot/chroot.sh make SUITE     make or refresh the cached chroot (needs the network)
#   tests/chroot/chroot.sh test SUITE [CTEST_ARGS...]
#                                         make it if needed, then build and test the checkout in
#                                         it (only the tests CTEST_ARGS pick, e.g. -R kwin)
#   tests/chroot/chroot.sh test-load SUITE [CTEST_ARGS...]
#                                         the same with the desktop suites alone, under load
#                                         (make test-load in the chroot)
#   tests/chroot/chroot.sh shell SUITE    an interactive shell in the isolated chroot
#
# The chroot is cached outside the checkout in $VARDO_CHROOT_CACHE (/var/cache/vardo by default) as
# chroot-SUITE. It is built in a temporary directory beside it and renamed only when complete, so an
# interrupted build leaves no half chroot behind; it is made anew when older than a week.
#
# Everything in the chroot runs under unshare --mount --net --pid --fork: the bind mounts live in a
# private mount namespace and vanish with it (even on kill -9), its processes die with it, and its
# network namespace has loopback only, so XWayland and Xvfb in there never meet the host's X
# servers (their abstract sockets are per network namespace) and the tests cannot reach out.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
checkout=$(cd "$here/../.." && pwd)
cache=${VARDO_CHROOT_CACHE:-/var/cache/vardo}
max_age_days=${VARDO_CHROOT_MAX_AGE_DAYS:-7}

die() { echo "chroot.sh: $*" >&2; exit 1; }
log() { echo "chroot.sh: $*" >&2; }

[ "$(id -u)" -eq 0 ] || die "must run as root (it makes a chroot and mounts in it)"

# The Debian mirror the host's apt uses: the URI of the source that carries the host's own suite,
# read from the apt sources at run time (deb822 .sources files and one-line .list files).
host_mirror() {
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || die "cannot tell the host's Debian suite from /etc/os-release"
    python3 - "$codename" /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
        /etc/apt/sources.list.d/*.list <<'PY'
import re, sys
codename, files = sys.argv[1], sys.argv[2:]
for name in files:
    try:
        text = open(name, encoding="utf-8").read()
    except OSError:
        continue
    if name.endswith(".sources"):
        for stanza in re.split(r"\n\s*\n", text):
            fields = {}
            for line in stanza.splitlines():
                if line.startswith("#") or ":" not in line or line[0].isspace():
                    continue
                key, value = line.split(":", 1)
                fields[key.strip().lower()] = value.split()
            if fields.get("enabled", ["yes"])[0] == "no" or "deb" not in fields.get("types", []):
                continue
            if codename in fields.get("suites", []) and fields.get("uris"):
                print(fields["uris"][0]); sys.exit(0)
    else:
        for line in text.splitlines():
            line = re.sub(r"\[[^]]*\]", " ", line.split("#", 1)[0]).split()
            if len(line) >= 3 and line[0] == "deb" and line[2] == codename:
                print(line[1]); sys.exit(0)
sys.exit(1)
PY
}

# The packages the build and every suite need, as the Makefile lists them.
packages() {
    make -s --no-print-directory -C "$checkout" print-packages
}

# Unstable's Release file in the mirror may be past its Valid-Until date.
apt_opts="-o Acquire::Check-Valid-Until=false -o DPkg::Lock::Timeout=900"

stale() {
    local root=$1
    [ -f "$root/.vardo-chroot" ] || return 0
    [ -n "$(find "$root/.vardo-chroot" -mtime "+$((max_age_days - 1))" 2>/dev/null)" ]
}

# in_chroot ROOT NET COMMAND...: runs COMMAND in ROOT in namespaces of its own. The mounts
# (/proc, /sys, /dev, a private /dev/shm, and MOUNTS: lines of "source target [ro]") exist only
# in the new mount namespace and go with it, whatever ends it. NET=offline gives it a network
# namespace with loopback alone. Every process in it dies with its first (--kill-child).
# With OVERLAY set to an empty directory, COMMAND sees ROOT through an overlay whose upper
# layer is there, and ROOT itself stays as it was.
in_chroot() {
    local root=$1 net=$2; shift 2
    local netflag=""
    [ "$net" = offline ] && netflag=--net
    # setpriv: killed with the script that started it, even by SIGKILL (--kill-child then
    # takes every process in the namespace along).
    ${IN_CHROOT_EXEC:+exec} setpriv --pdeathsig KILL \
        unshare --mount --pid --fork --kill-child $netflag --propagation private \
        /bin/bash -euc '
            root=$1 net=$2; shift 2
            if [ -n "${OVERLAY:-}" ]; then
                mkdir "$OVERLAY/upper" "$OVERLAY/work" "$OVERLAY/root"
                mount -t overlay overlay \
                    -o "lowerdir=$root,upperdir=$OVERLAY/upper,workdir=$OVERLAY/work" \
                    "$OVERLAY/root"
                root=$OVERLAY/root
            fi
            # Nothing needs undoing outside: the namespace takes these mounts with it when its
            # last process ends. The trap only lets go of them as soon as the command is done.
            trap "umount -R \"$root\" 2>/dev/null || umount -R \"\$root/proc\" \"\$root/sys\" \"\$root/dev\" 2>/dev/null || true" EXIT
            [ "$net" = offline ] && ip link set lo up
            mount -t proc proc "$root/proc"
            mount --rbind /sys "$root/sys"
            mount --rbind /dev "$root/dev"
            mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
            while read -r source target mode; do
                [ -n "$source" ] || continue
                mkdir -p "$root$target"
                mount --bind "$source" "$root$target"
                [ "$mode" != ro ] || mount -o remount,bind,ro "$root$target"
            done <<<"${MOUNTS:-}"
            [ "$net" = offline ] || cp -L /etc/resolv.conf "$root/etc/resolv.conf"
            status=0
            chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
                PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
                CI="${CI:-}" "$@" || status=$?
            exit $status
        ' in_chroot "$root" "$net" "$@"
}

make_chroot() {
    local suite=$1 root=$cache/chroot-$1 mirror tmp
    mkdir -p "$cache"
    # Leftovers of an interrupted build.
    rm -rf --one-file-system "$cache"/.chroot-"$suite".*
    if [ -d "$root" ] && ! stale "$root"; then
        # Still fresh: only add what the Makefile asks for since it was made.
        local missing
        missing=$(for p in $(packages); do
            chroot "$root" dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null \
                | grep -q '^install ok installed' || echo "$p"; done)
        if [ -n "$missing" ]; then
            log "adding to chroot-$suite:" $missing
            in_chroot "$root" online /bin/sh -c "apt-get $apt_opts update && \
                DEBIAN_FRONTEND=noninteractive apt-get $apt_opts install -y \
                --no-install-recommends $(echo $missing)"
        fi
        return
    fi
    mirror=$(host_mirror) || die "no Debian source for the host's suite in /etc/apt/sources*"
    if ! command -v mmdebstrap >/dev/null; then
        log "installing mmdebstrap"
        apt-get -o DPkg::Lock::Timeout=900 update >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y \
            --no-install-recommends mmdebstrap >/dev/null
    fi
    tmp=$(mktemp -d "$cache/.chroot-$suite.XXXXXX")
    trap 'rm -rf --one-file-system "$tmp"' EXIT
    log "making chroot-$suite from the host's Debian mirror (takes a while)"
    # In a mount namespace of its own, so that the mounts it makes in the new chroot cannot
    # outlive it, whatever ends it.
    setpriv --pdeathsig KILL unshare --mount --propagation private \
        mmdebstrap --variant=apt --mode=root \
            --aptopt='Acquire::Check-Valid-Until "false"' \
            --aptopt='APT::Install-Recommends "false"' \
            --include="$(packages | tr ' \n' ',,' | sed 's/,,*/,/g; s/^,//; s/,$//')" \
            "$suite" "$tmp" "$mirror"
    date -u +%FT%TZ > "$tmp/.vardo-chroot"
    rm -rf --one-file-system "$root.old"
    [ ! -d "$root" ] || mv "$root" "$root.old"
    mv "$tmp" "$root"
    rm -rf --one-file-system "$root.old"
    trap - EXIT
    log "chroot-$suite ready: $(du -sh --one-file-system "$root" | cut -f1)"
}

# Each run sees the cached chroot through an overlay whose upper layer is new and thrown away
# afterwards: what a run installs or leaves in /tmp never reaches the next. The build trees
# are kept between runs (in build-SUITE beside the chroot) until the chroot is made anew. The
# checkout is there read-only as /src.
run_chroot() {
    local suite=$1; shift
    local root=$cache/chroot-$suite build=$cache/build-$suite
    rm -rf --one-file-system "$cache"/.run-"$suite".*
    if [ "$(cat "$build/.vardo-chroot" 2>/dev/null)" != "$(cat "$root/.vardo-chroot")" ]; then
        rm -rf --one-file-system "$build"
        mkdir -p "$build"
        cp "$root/.vardo-chroot" "$build/.vardo-chroot"
    fi
    run=$(mktemp -d "$cache/.run-$suite.XXXXXX")
    trap 'rm -rf --one-file-system "$run"' EXIT
    # In the background, so that a signal to this script (CI's time-out, Ctrl-C) is acted
    # on at once: the trap ends the namespace, whose processes all die with its first.
    MOUNTS="$checkout /src ro
$build /build" OVERLAY=$run IN_CHROOT_EXEC=1 in_chroot "$root" offline "$@" <&0 &
    child=$!
    trap 'kill "$child" 2>/dev/null; wait "$child"; exit 130' INT
    trap 'kill "$child" 2>/dev/null; wait "$child"; exit 143' TERM
    local status=0
    wait "$child" || status=$?
    return $status
}

case "${1:-}" in
    make)
        suite=${2:-unstable}
        mkdir -p "$cache"
        exec 9>"$cache/chroot-$suite.lock"
        flock 9
        make_chroot "$suite" ;;
    test|test-load|shell)
        what=$1 suite=${2:-unstable}
        shift $(($# < 2 ? $# : 2))
        mkdir -p "$cache"
        exec 9>"$cache/chroot-$suite.lock"
        flock 9
        make_chroot "$suite"
        if [ "$what" = shell ]; then
            run_chroot "$suite" /bin/bash
        elif [ "$what" = test-load ]; then
            run_chroot "$suite" /bin/bash /src/tests/chroot/inside.sh --load "$@"
        else
            run_chroot "$suite" /bin/bash /src/tests/chroot/inside.sh "$@"
        fi ;;
    *) die "usage: $0 make|test|test-load|shell [SUITE]" ;;
esac
