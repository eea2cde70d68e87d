#!/usr/bin/env bash
# Makes, or reuses, a chroot of another Debian release with the packages asked for, and
# prints its folder. The tests run the agent on the oldest release it supports (bullseye)
# and on today's desktops (trixie) this way.
#
#   scripts/debian-root.sh SUITE [PACKAGE ...]      make or complete it; print its folder
#   scripts/debian-root.sh --unmount SUITE          take its mounts down
#
# Roots live in $SA_DEBIAN_ROOTS (default /var/tmp/scheduler-agent-roots), one folder per
# suite, and are kept between runs: a later call installs only the packages still missing.
# /proc, /sys, /dev, /dev/pts and /dev/shm are mounted into it (sway needs /dev/shm).
# Calls for one suite wait for each other. Exit status 0 with the folder on standard
# output, else non-zero with the reason on standard error.
set -euo pipefail

roots=${SA_DEBIAN_ROOTS:-/var/tmp/scheduler-agent-roots}
mounts=(proc sys dev dev/pts dev/shm)

fail() {
  echo "debian-root: $*" >&2
  exit 1
}

unmount_root() {
  local root=$1 i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    if mountpoint -q "$root/${mounts[i]}"; then umount -l "$root/${mounts[i]}"; fi
  done
}

if [ "${1:-}" = --unmount ]; then
  [ $# -eq 2 ] || fail "usage: $0 --unmount SUITE"
  unmount_root "$roots/$2"
  exit 0
fi
[ $# -ge 1 ] || fail "usage: $0 SUITE [PACKAGE ...]"
suite=$1
shift
[ "$(id -u)" -eq 0 ] || fail "making a chroot needs root"
root=$roots/$suite
mkdir -p "$roots"

# One maker per suite at a time; the others wait and then find its work done.
exec 9>"$roots/$suite.lock"
flock 9

mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)\/* *$/\1/p' /etc/apt/sources.list.d/debian.sources \
  2>/dev/null | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}

if [ ! -f "$root/.complete" ]; then
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null \
    || fail "debootstrap is not installed and could not be"
  unmount_root "$root"
  rm -rf "$root"
  # The packages come in through apt below, which resolves alternatives ("default-logind
  # | logind") that debootstrap's --include cannot.
  debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$roots/$suite.debootstrap.log" 2>&1 \
    || fail "debootstrap of $suite from $mirror failed (see $roots/$suite.debootstrap.log)"
  touch "$root/.complete"
fi

for m in "${mounts[@]}"; do
  mkdir -p "$root/$m"
  mountpoint -q "$root/$m" || mount --bind "/$m" "$root/$m"
done
# Name resolution for apt inside.
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

missing=()
for p in "$@"; do
  chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$p")
done
if ((${#missing[@]})); then
  apt=(chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C apt-get -o Dpkg::Use-Pty=0)
  {
    "${apt[@]}" update -qq &&
      "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
  } >"$roots/$suite.apt.log" 2>&1 || fail "installing ${missing[*]} into $suite failed (see $roots/$suite.apt.log)"
  for p in "${missing[@]}"; do
    chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
      || fail "$p is not installed in $suite after apt-get (see $roots/$suite.apt.log)"
  done
fi
echo "$root"
