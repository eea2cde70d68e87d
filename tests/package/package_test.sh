#!/usr/bin/env bash
# Builds the packages of a build folder with CPack, checks what they hold, unpacks them
# into a scratch root and runs the installed agent against the installed service.
#
#   package_test.sh deb BUILD_DIR WORK_DIR RUNNER
#   package_test.sh zip BUILD_DIR WORK_DIR RUNNER EMULATOR
#
# Nothing is installed into the machine: dpkg -x unpacks into WORK_DIR, so the test
# needs no root and leaves the machine as it was.
set -euo pipefail

kind=$1 build=$2 work=$3 runner=$4 emulator=${5:-}

source "$(dirname "$0")/checks.sh"

# Compares a package's file list with what it must hold, nothing more and nothing less.
expect_files() {
  expect_equal "files in $1 (the install layout)" "$2" "$3"
}

rm -rf "$work"
mkdir -p "$work/out" "$work/root"
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }

case $kind in
deb)
  agent_deb=$(ls "$work"/out/scheduler-agent_*.deb)
  service_deb=$(ls "$work"/out/scheduler-idle-service_*.deb)

  expect_files "$agent_deb" "$(dpkg-deb --fsys-tarfile "$agent_deb" | tar -t | grep -v '/$' | sort)" \
    "./etc/xdg/autostart/scheduler-agent.desktop
./opt/scheduler-agent/SchedulerAgent
./opt/scheduler-agent/locale/de/LC_MESSAGES/default.mo
./opt/scheduler-agent/locale/fr/LC_MESSAGES/default.mo
./opt/scheduler-agent/scheduler-agent-status
./usr/lib/systemd/user/scheduler-agent.service
./usr/share/doc/scheduler-agent/README.md
./usr/share/doc/scheduler-agent/changelog.gz
./usr/share/doc/scheduler-agent/copyright
./usr/share/lintian/overrides/scheduler-agent"
  expect_files "$service_deb" "$(dpkg-deb --fsys-tarfile "$service_deb" | tar -t | grep -v '/$' | sort)" \
    "./opt/scheduler-agent/idle_service
./usr/lib/systemd/system/scheduler-idle-service.service
./usr/share/doc/scheduler-idle-service/README.md
./usr/share/doc/scheduler-idle-service/changelog.gz
./usr/share/doc/scheduler-idle-service/copyright
./usr/share/lintian/overrides/scheduler-idle-service"

  # The agent opens the libraries of its idle sources itself, so only the declared
  # dependencies bring them.
  depends=$(dpkg-deb -f "$agent_deb" Depends)
  for needed in libxss1 libwayland-client0 libdbus-1-3 libc6; do
    [[ $depends == *"$needed"* ]] || fail "agent Depends lacks $needed: $depends"
  done

  # Warnings and errors fail; each tag that remains is overridden with its reason in
  # packaging/linux/*.lintian-overrides.
  lintian --fail-on error,warning --tag-display-limit 0 "$agent_deb" "$service_deb" ||
    fail "lintian"

  dpkg -x "$agent_deb" "$work/root"
  dpkg -x "$service_deb" "$work/root"
  SA_PACKAGE_DIR="$work/root/opt/scheduler-agent" "$runner"
  ;;
zip)
  zip=$(ls "$work"/out/SchedulerAgent-*-win64.zip)
  expect_files "$zip" "$(unzip -Z1 "$zip" | grep -v '/$' | sort)" \
    "DEPLOYMENT.txt
SchedulerAgent.exe
SchedulerAgentStatus.exe
idle_service.exe
locale/de/LC_MESSAGES/default.mo
locale/fr/LC_MESSAGES/default.mo"
  unzip -q "$zip" -d "$work/root"
  # Wine shows the machine's root as drive Z:.
  windows_dir="Z:${work//\//\\}\\root"
  SA_PACKAGE_DIR="$windows_dir" $emulator "$runner"
  ;;
*)
  fail "unknown package kind $kind"
  ;;
esac
echo "package $kind: ok"
