#!/usr/bin/env bash
# Builds the packages of a build folder with CPack, checks what they hold, and runs the
# installed agent against the installed service.
#
#   package_test.sh deb BUILD_DIR WORK_DIR RUNNER
#   package_test.sh zip BUILD_DIR WORK_DIR RUNNER EMULATOR
#   package_test.sh portable BUILD_DIR WORK_DIR
#
# deb and zip unpack into WORK_DIR (dpkg -x, unzip): they need no root and leave the
# machine as it was. portable takes what ships (the portable preset's build): the .debs
# and RPMs are checked, installed into Debian 11 and Debian 13 chroots
# (scripts/debian-root.sh), run there under their own X server, and removed again; it
# needs root.
set -euo pipefail

kind=$1 build=$2 work=$(realpath -m "$3") runner=${4:-} emulator=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

source "$here/checks.sh"

# Compares a package's file list with what it must hold, nothing more and nothing less.
expect_files() {
  expect_equal "files in $1 (the install layout)" "$2" "$3"
}

agent_deb_files="./etc/sway/config.d/scheduler-agent.conf
./etc/xdg/autostart/scheduler-agent.desktop
./opt/scheduler-agent/SchedulerAgent
./opt/scheduler-agent/locale/de/LC_MESSAGES/default.mo
./opt/scheduler-agent/locale/fr/LC_MESSAGES/default.mo
./opt/scheduler-agent/scheduler-agent-status
./usr/lib/systemd/user/scheduler-agent.service
./usr/share/doc/scheduler-agent/README.md
./usr/share/doc/scheduler-agent/changelog.gz
./usr/share/doc/scheduler-agent/copyright
./usr/share/lintian/overrides/scheduler-agent"
service_deb_files="./opt/scheduler-agent/idle_service
./usr/lib/systemd/system/scheduler-idle-service.service
./usr/share/doc/scheduler-idle-service/README.md
./usr/share/doc/scheduler-idle-service/changelog.gz
./usr/share/doc/scheduler-idle-service/copyright
./usr/share/lintian/overrides/scheduler-idle-service"

# The .debs' layout, dependencies and lintian's verdict; sets agent_deb and service_deb.
check_debs() {
  agent_deb=$(ls "$work"/out/scheduler-agent_*.deb)
  service_deb=$(ls "$work"/out/scheduler-idle-service_*.deb)
  expect_files "$agent_deb" "$(dpkg-deb --fsys-tarfile "$agent_deb" | tar -t | grep -v '/$' | sort)" \
    "$agent_deb_files"
  expect_files "$service_deb" "$(dpkg-deb --fsys-tarfile "$service_deb" | tar -t | grep -v '/$' | sort)" \
    "$service_deb_files"

  # The agent opens the libraries of its idle sources itself, so only the declared
  # dependencies bring them.
  local depends needed
  depends=$(dpkg-deb -f "$agent_deb" Depends)
  for needed in libxcb1 libwayland-client0 libdbus-1-3 libc6; do
    [[ $depends == *"$needed"* ]] || fail "agent Depends lacks $needed: $depends"
  done

  # Warnings and errors fail; each tag that remains is overridden with its reason in
  # packaging/linux/*.lintian-overrides.
  lintian --fail-on error,warning --display-info --tag-display-limit 0 "$agent_deb" "$service_deb" \
    >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian"; }
}

rm -rf "$work"
mkdir -p "$work/out" "$work/root"
generators=()
[ "$kind" != deb ] || generators=(-G DEB)
cpack --config "$build/CPackConfig.cmake" -B "$work/out" "${generators[@]}" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }

case $kind in
deb)
  check_debs
  dpkg -x "$agent_deb" "$work/root"
  dpkg -x "$service_deb" "$work/root"
  SA_PACKAGE_DIR="$work/root/opt/scheduler-agent" "$runner"
  ;;
portable)
  check_debs
  # The usual distribution flags (fortified functions, stack protector, PIE, RELRO,
  # immediate binding) show as the absence of lintian's hardening tags.
  if grep hardening- "$work/lintian.log"; then fail "lintian: hardening"; fi
  source "$here/portable_checks.sh"
  check_programs
  check_rpms
  prove_deb_in_root bullseye
  prove_deb_in_root trixie sway
  prove_rpm_in_root trixie
  prove_upgrade_keeps_choices deb bullseye
  prove_upgrade_keeps_choices rpm trixie
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
