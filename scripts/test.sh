#!/usr/bin/env bash
# Builds both targets, the Windows release build whose packages the Windows tests check,
# and the sanitizer build, and runs every test of each; then builds what ships on Linux and
# proves its packages on the oldest and the newest Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

echo "== native"
cmake --preset native
cmake --build --preset native
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset native -j "$(nproc)"

echo "== windows (cross build, tests under Wine; the packages from the release build)"
cmake --preset windows-release
cmake --build --preset windows-release
cmake --preset windows
cmake --build --preset windows
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/windows-ctest.sh

echo "== sanitize (ASan + UBSan)"
cmake --preset sanitize
cmake --build --preset sanitize
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset sanitize -j "$(nproc)"

echo "== portable Linux release (Debian 11's compiler): .debs and RPMs, run on Debian 11 and 13"
scripts/portable-build.sh
bash tests/package/package_test.sh portable build/portable build/portable/package-test
