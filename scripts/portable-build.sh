#!/usr/bin/env bash
# Builds what ships on Linux (preset "portable": Release, hardened, the C++ runtime linked
# in) with Debian 11's compiler and C library, so that the programs start on every
# distribution with glibc 2.31 or later; the build stops if one needs more. The host's
# CMake and Ninja drive the compiler of a Debian 11 chroot (scripts/bullseye-cc), made
# once and kept (scripts/debian-root.sh). Needs root, as the chroot does.
#
#   scripts/portable-build.sh        then: cpack --config build/portable/CPackConfig.cmake
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/debian-root.sh bullseye g++ >/dev/null
cmake --preset portable
cmake --build --preset portable
