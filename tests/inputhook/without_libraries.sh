#!/bin/sh
# Runs a command on a machine where the named libraries are not installed: in the mount
# namespace it is started in, the folder that holds them is covered by one that links to
# everything else in it. Start it as
#   unshare --mount --propagation private sh without_libraries.sh SCRATCH SONAME... -- COMMAND...
# SCRATCH is an empty folder it may mount on; the command keeps this process.
set -eu
scratch=$1
shift
hidden=
while [ "$1" != "--" ]; do
  hidden="$hidden $1"
  shift
done
shift
first=${hidden# }
first=${first%% *}
path=$(ldconfig -p | awk -v name="$first" '$1 == name { print $NF; exit }')
if [ -z "$path" ]; then
  echo "without_libraries: $first is not installed" >&2
  exit 125
fi
folder=$(dirname "$(realpath "$path")")
mkdir -p "$scratch/all" "$scratch/rest"
mount --bind "$folder" "$scratch/all"
mount -t tmpfs tmpfs "$scratch/rest"
for entry in "$scratch/all"/* "$scratch/all"/.[!.]*; do
  [ -e "$entry" ] || [ -L "$entry" ] || continue
  name=${entry##*/}
  keep=yes
  for soname in $hidden; do
    case $name in "${soname%%.so*}.so"*) keep=no ;; esac
  done
  if [ $keep = yes ]; then
    ln -s "$entry" "$scratch/rest/$name"
  fi
done
mount --bind "$scratch/rest" "$folder"
exec "$@"
