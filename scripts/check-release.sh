#!/usr/bin/env bash
# Checks Quorbel on a Debian release as a new user meets it: makes a minimal
# system of that release in a scratch folder (debootstrap, from the Debian
# mirror this machine's apt uses), clones this repository at its HEAD into it
# and runs the README's test command there (`bash scripts/setup.sh test`):
# every test, then the package made for that release and its checks.
#
# usage: check-release.sh [trixie|bookworm]      (default: trixie)
#        check-release.sh --inside ROOT ARCHIVES  (its own second step)
#
# The check runs in two steps. The first, on this machine, makes the system
# in ROOT and clones the repository into it, then starts this script again
# with --inside in new mount and process namespaces. That second step mounts
# /proc, /sys, /dev, /tmp and /run into ROOT and binds the package cache
# folder ARCHIVES to its /var/cache/apt/archives, installs what the test
# command needs with the network, and runs the test command in new network,
# IPC and host name namespaces. It is not meant to be started by hand.
#
# It needs root (debootstrap, mount, chroot) and runs itself under sudo when
# started as another user. The system runs in its own mount, process and
# network namespaces, so its offices, its X displays and its sockets never
# meet this machine's; every mount goes away with those namespaces, also when
# a step fails or the script is killed. Packages are installed with the
# network; the test command then runs without it (loopback only).
#
# The base system (debootstrap's result) and the downloaded packages are kept
# in a cache folder between runs, so only the first run fetches everything.
#   QUORBEL_RELEASE_CACHE   cache folder (default: /var/cache/quorbel-release)
#   QUORBEL_RELEASE_KEEP=1  keep the scratch system afterwards (its path is shown)
#   QUORBEL_SANITIZERS=0    leave out the sanitizer run of the test command
#   QUORBEL_WARNINGS_AS_ERRORS=1  build with -Werror
#   TMPDIR                  where the scratch system goes (about 4 GB; default /var/tmp)
set -euo pipefail

release="${1:-trixie}"
case "$release" in
  --inside) ;;
  bookworm|trixie) ;;
  *) echo "usage: $0 [trixie|bookworm]" >&2; exit 2 ;;
esac

# A command run in the scratch system at `root` sees this environment alone.
in_chroot() { # in_chroot <root> <command...>
  local root="$1"
  shift
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    QUORBEL_SANITIZERS="${QUORBEL_SANITIZERS:-1}" QUORBEL_WARNINGS_AS_ERRORS="${QUORBEL_WARNINGS_AS_ERRORS:-0}" \
    TERM="${TERM:-dumb}" "$@"
}

# --- Inside the namespaces: mount, install, test ----------------------------------
if [ "$release" = --inside ]; then
  root="$2"
  mounted=()
  unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
      umount "${mounted[$i]}" 2>/dev/null || umount -l "${mounted[$i]}" || true
    done
  }
  trap unmount_all EXIT
  mount_at() { # mount_at <target> <mount arguments...>
    local target="$root/$1"
    shift
    mount "$@" "$target"
    mounted+=("$target")
  }
  mount_at proc -t proc proc
  mount_at sys -t sysfs -o ro sysfs
  mount_at dev --bind /dev
  mount_at dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts
  mount_at dev/shm -t tmpfs -o mode=1777 tmpfs
  mount_at tmp -t tmpfs -o mode=1777 tmpfs
  mount_at run -t tmpfs -o mode=0755 tmpfs
  mount_at var/cache/apt/archives --bind "$3"
  in_system() {
    in_chroot "$root" bash -c "$1"
  }
  started=$SECONDS
  echo "== Installing what the test command needs (with the network)"
  in_system 'cd /root/quorbel && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get -y -qq dist-upgrade >/dev/null &&
             QUORBEL_SETUP_INSTALL_ONLY=1 bash scripts/setup.sh test && apt-get -qq autoclean'
  install_time=$((SECONDS - started))
  in_system 'echo "== Versions: Debian $(cat /etc/debian_version), Qt $(dpkg-query -W -f="\${Version}" qt6-base-dev),
LibreOffice $(dpkg-query -W -f="\${Version}" libreoffice-core-nogui), poppler $(dpkg-query -W -f="\${Version}" libpoppler-cpp-dev),
GCC $(dpkg-query -W -f="\${Version}" g++), CMake $(dpkg-query -W -f="\${Version}" cmake),
AppStream $(dpkg-query -W -f="\${Version}" appstream), lintian $(dpkg-query -W -f="\${Version}" lintian)"'
  started=$SECONDS
  echo "== The README's test command, without the network"
  rc=0
  # The new namespaces' bash runs in_chroot, which it is given as an
  # exported function.
  export -f in_chroot
  unshare --net --ipc --uts -- bash -c '
    ip link set lo up 2>/dev/null || true
    "$@"' bash in_chroot "$root" bash -c 'cd /root/quorbel && bash scripts/setup.sh test' || rc=$?
  echo "== Times: packages ${install_time} s, test command $((SECONDS - started)) s"
  exit "$rc"
fi

# --- On this machine: the base system, the clone, the namespaces --------------------
top="$(cd "$(dirname "$0")/.." && pwd)"
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=QUORBEL_RELEASE_CACHE,QUORBEL_RELEASE_KEEP,QUORBEL_SANITIZERS,QUORBEL_WARNINGS_AS_ERRORS,TMPDIR \
    bash "$top/scripts/check-release.sh" "$@"
fi
for tool in debootstrap git unshare chroot ip; do
  if ! command -v "$tool" >/dev/null; then
    case "$tool" in
      debootstrap) DEBIAN_FRONTEND=noninteractive apt-get install -y debootstrap ;;
      *) echo "$0: $tool is missing" >&2; exit 1 ;;
    esac
  fi
done

# The mirror this machine's apt uses (deb822 sources, or a one-line list).
mirror="" security=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  while read -r uri suites; do
    case " $suites " in
      *-security*) [ -n "$security" ] || security="$uri" ;;
      *) [ -n "$mirror" ] || mirror="$uri" ;;
    esac
  done < <(awk '
    /^URIs:/ { uri = $2 } /^Suites:/ { $1 = ""; suites = $0 }
    /^[[:space:]]*$/ { if (uri != "") print uri, suites; uri = ""; suites = "" }
    END { if (uri != "") print uri, suites }' /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror="$(awk '$1 == "deb" && $3 !~ /-security/ { print $2; exit }' /etc/apt/sources.list)"
  security="$(awk '$1 == "deb" && $3 ~ /-security/ { print $2; exit }' /etc/apt/sources.list)"
fi
mirror="${mirror:-http://deb.debian.org/debian}"
security="${security:-${mirror}-security}"

cache="${QUORBEL_RELEASE_CACHE:-/var/cache/quorbel-release}"
mkdir -p "$cache/$release-archives/partial"
base="$cache/$release-base.tar.gz"

scratch="$(mktemp -d "${TMPDIR:-/var/tmp}/quorbel-$release.XXXXXX")"
root="$scratch/root"
mkdir "$root"
cleanup() {
  # The mounts live in the namespaces and are gone with them; should one be
  # left, nothing is deleted.
  if grep -qF " $scratch/" /proc/self/mountinfo; then
    echo "$0: $scratch still has mounts; it is left as it is" >&2
  elif [ "${QUORBEL_RELEASE_KEEP:-0}" = 1 ]; then
    echo "The $release system is kept in $root"
  else
    rm -rf --one-file-system "$scratch"
  fi
}
trap cleanup EXIT

overall=$SECONDS
started=$SECONDS
# A cached base younger than a week is unpacked; otherwise debootstrap makes
# one (about a minute and a half) and it is cached.
if [ -f "$base" ] && [ -n "$(find "$base" -mtime -7)" ]; then
  echo "== Unpacking the cached $release base system"
  tar -xzpf "$base" --numeric-owner -C "$root"
else
  echo "== Making a minimal $release system from $mirror"
  debootstrap --arch="$(dpkg --print-architecture)" --variant=minbase "$release" "$root" "$mirror" >"$scratch/debootstrap.log" 2>&1 || {
    tail -n 30 "$scratch/debootstrap.log" >&2
    exit 1
  }
  rm -f "$root/etc/apt/sources.list"
  cat >"$root/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: $security
Suites: $release-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  # No service starts from a package script; dpkg does not wait for the disk
  # (the system is thrown away); apt keeps what it downloads (the cache).
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/quorbel-unsafe-io"
  printf 'Binary::apt::APT::Keep-Downloaded-Packages "true";\nAcquire::Languages "none";\n' \
    >"$root/etc/apt/apt.conf.d/90quorbel"
  rm -rf "$root/var/cache/apt/archives"/*.deb "$root/var/lib/apt/lists"/*_Packages
  tar -czpf "$base.new" --numeric-owner -C "$root" . && mv "$base.new" "$base"
fi
base_time=$((SECONDS - started))

started=$SECONDS
echo "== Cloning $top at $(git -C "$top" rev-parse --short HEAD)"
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
  echo "   (changes not committed are not part of the check)"
fi
git clone -q --no-checkout "$top" "$root/root/quorbel"
git -C "$root/root/quorbel" fetch -q "$top" HEAD
git -C "$root/root/quorbel" checkout -q --detach FETCH_HEAD
clone_time=$((SECONDS - started))

rc=0
unshare --mount --pid --fork --propagation private -- \
  bash "$top/scripts/check-release.sh" --inside "$root" "$cache/$release-archives" || rc=$?
echo "== Times: base system ${base_time} s, clone ${clone_time} s, all $((SECONDS - overall)) s"
if [ "$rc" -eq 0 ]; then
  echo "The $release check passed."
else
  echo "The $release check FAILED." >&2
fi
exit "$rc"
