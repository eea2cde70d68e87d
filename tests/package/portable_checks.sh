# Sourced by package_test.sh for what ships on Linux: the programs' needs, the RPMs, and
# the packages installed, run and removed in chroots of the oldest and the newest Debian.
# Uses work, top, agent_deb, service_deb of package_test.sh.

oldest_glibc=2.31
agent=/opt/scheduler-agent/SchedulerAgent
service=/opt/scheduler-agent/idle_service
status=/opt/scheduler-agent/scheduler-agent-status
check_portable=$top/packaging/linux/check_portable.sh

# Processes started here, ended if a check fails on the way.
started=()
end_started() {
  local pid
  for pid in "${started[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
}
trap end_started EXIT

# Waits up to SECONDS for a line matching REGEX in FILE from line FROM on.
wait_for_line() {
  local file=$1 regex=$2 seconds=$3 from=${4:-1} i
  for ((i = 0; i < seconds * 10; i++)); do
    if tail -n +"$from" "$file" 2>/dev/null | grep -qE "$regex"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# The shipped programs need nothing newer than the oldest supported glibc; the check
# itself refuses what this machine's own compiler makes.
check_programs() {
  local programs=$work/programs
  mkdir -p "$programs"
  dpkg-deb -x "$agent_deb" "$programs"
  dpkg-deb -x "$service_deb" "$programs"
  bash "$check_portable" $oldest_glibc "$programs$agent" "$programs$service" "$programs$status" >"$work/symbols.txt" ||
    fail "the shipped programs need more than glibc $oldest_glibc"
  cat "$work/symbols.txt"

  # Test tuple <fixture, compiler flags, what the refusal names>.
  local cases=(
    'int main() { return 0; }|-x c|GLIBC_2.34'
    '#include <string>
int main(int argc, char**) { return std::to_string(argc).size(); }|-x c++|GLIBCXX_'
    '#include <string>
int main(int argc, char**) { return std::to_string(argc).size(); }|-x c++ -static-libstdc++ -static-libgcc|GLIBC_2.34'
  )
  local entry source flags reason i=0
  for entry in "${cases[@]}"; do
    IFS='|' read -r -d '' source flags reason <<<"$entry" || true
    reason=${reason%$'\n'}
    i=$((i + 1))
    # shellcheck disable=SC2086
    g++ $flags - -o "$programs/fixture$i" <<<"$source"
    if bash "$check_portable" $oldest_glibc "$programs/fixture$i" >"$work/fixture$i.txt" 2>&1; then
      fail "the symbol check passed fixture $i ($flags), which needs $reason"
    fi
    grep -q "needs $reason" "$work/fixture$i.txt" || { cat "$work/fixture$i.txt" >&2; fail "fixture $i: $reason not named"; }
  done
}

agent_rpm_files="/etc/sway
/etc/sway/config.d
/etc/sway/config.d/scheduler-agent.conf
/etc/xdg/autostart
/etc/xdg/autostart/scheduler-agent.desktop
/opt/scheduler-agent
/opt/scheduler-agent/SchedulerAgent
/opt/scheduler-agent/locale
/opt/scheduler-agent/locale/de
/opt/scheduler-agent/locale/de/LC_MESSAGES
/opt/scheduler-agent/locale/de/LC_MESSAGES/default.mo
/opt/scheduler-agent/locale/fr
/opt/scheduler-agent/locale/fr/LC_MESSAGES
/opt/scheduler-agent/locale/fr/LC_MESSAGES/default.mo
/opt/scheduler-agent/scheduler-agent-status
/usr/lib/systemd/user/scheduler-agent.service
/usr/share/doc/scheduler-agent
/usr/share/doc/scheduler-agent/README.md
/usr/share/doc/scheduler-agent/copyright"
service_rpm_files="/opt/scheduler-agent
/opt/scheduler-agent/idle_service
/usr/lib/systemd/system/scheduler-idle-service.service
/usr/share/doc/scheduler-idle-service
/usr/share/doc/scheduler-idle-service/README.md
/usr/share/doc/scheduler-idle-service/copyright"

# The RPMs: rpmlint, their files, what they require and recommend, their scriptlets, and
# an installation into an empty root that an erase takes away again.
check_rpms() {
  agent_rpm=$(ls "$work"/out/scheduler-agent-*.x86_64.rpm)
  service_rpm=$(ls "$work"/out/scheduler-idle-service-*.x86_64.rpm)

  # Errors fail; what remains is filtered with its reason in packaging/linux/rpmlint.toml.
  rpmlint -c "$top/packaging/linux/rpmlint.toml" "$agent_rpm" "$service_rpm" >"$work/rpmlint.log" 2>&1 ||
    { cat "$work/rpmlint.log" >&2; fail "rpmlint"; }

  expect_files "$agent_rpm" "$(rpm -qpl "$agent_rpm")" "$agent_rpm_files"
  expect_files "$service_rpm" "$(rpm -qpl "$service_rpm")" "$service_rpm_files"
  expect_equal "configuration files of $agent_rpm" "$(rpm -qpc "$agent_rpm")" \
    "/etc/sway/config.d/scheduler-agent.conf
/etc/xdg/autostart/scheduler-agent.desktop"

  # Requirements come from the programs alone: glibc's libraries at its oldest supported
  # version, no C++ runtime, none of the session libraries the agent opens itself.
  local rpm requires version
  for rpm in "$agent_rpm" "$service_rpm"; do
    requires=$(rpm -qpR "$rpm")
    if grep -vE '^(/bin/sh|config\(|rpmlib\(|rtld\(|(libc|libdl|libpthread|librt|libm)\.so\.[0-9]+\(|ld-linux-x86-64\.so\.2\()' \
      <<<"$requires"; then
      fail "$rpm requires more than glibc"
    fi
    while read -r version; do
      [ "$(printf '%s\n%s\n' "$version" $oldest_glibc | sort -V | tail -n 1)" = $oldest_glibc ] ||
        fail "$rpm requires GLIBC_$version"
    done < <(grep -oE 'GLIBC_[0-9.]+' <<<"$requires" | sed 's/GLIBC_//' | sort -uV)
  done
  expect_equal "weak dependencies of $agent_rpm" "$(rpm -qp --recommends "$agent_rpm" | sort)" \
    "libdbus-1.so.3()(64bit)
libwayland-client.so.0()(64bit)
libxcb.so.1()(64bit)"
  expect_equal "weak dependencies of $service_rpm" "$(rpm -qp --recommends "$service_rpm")" ""

  # An empty root has no shell for the scriptlets (the chroot runs them below): this is
  # what rpm itself places and takes away. Left behind may be only the folders of every
  # system that the packages put their files into and do not own.
  local scratch=$work/rpm-root
  mkdir -p "$scratch"
  rpm --root "$scratch" --initdb 2>"$work/rpm.log"
  find "$scratch" | sort >"$work/rpm-root.before"
  rpm --root "$scratch" -i --nodeps --noscripts "$agent_rpm" "$service_rpm" 2>>"$work/rpm.log" ||
    { cat "$work/rpm.log" >&2; fail "rpm -i into $scratch"; }
  [ -x "$scratch$agent" ] && [ -x "$scratch$service" ] || fail "rpm -i placed no programs"
  rpm --root "$scratch" -e --noscripts scheduler-agent scheduler-idle-service 2>>"$work/rpm.log" ||
    { cat "$work/rpm.log" >&2; fail "rpm -e from $scratch"; }
  expect_equal "what the erase left in $scratch" \
    "$(comm -13 "$work/rpm-root.before" <(find "$scratch" | sort) |
      grep -v "^$scratch/var/lib/rpm" | sed "s|^$scratch||")" \
    "/etc
/etc/xdg
/opt
/usr
/usr/lib
/usr/lib/systemd
/usr/lib/systemd/system
/usr/lib/systemd/user
/usr/share
/usr/share/doc"
}

# The files of ROOT that a package may add or change, sorted: everything but the
# package managers' own records, logs and caches, and the scratch folder /tmp.
root_files() {
  (cd "$1" && find . -xdev \( -path ./tmp -o -path ./var/lib/dpkg -o -path ./var/log -o \
    -path ./var/cache \) -prune -o -print | sort)
}

# Fails unless ROOT holds what BEFORE listed, nothing more; an empty /opt may go with
# the last package in it.
expect_root_as_before() {
  local root=$1 before=$2 what=$3 after
  after=$(root_files "$root")
  expect_equal "what $what left behind in $root" "$(comm -13 "$before" <(echo "$after"))" ""
  expect_equal "what $what took away from $root" \
    "$(comm -23 "$before" <(echo "$after") | grep -vx './opt' || true)" ""
}

# Runs the installed agent in ROOT against the installed service, under an X server of
# the root's own: reports arrive, the idle time grows and falls back to 0 with injected
# input, a quit ends the agent with exit code 0, and standard error holds only the line
# that names its idle source.
prove_runs() {
  local root=$1 suite=$2 scratch=/tmp/sa-package-test
  local log=$work/$suite
  rm -rf "$root$scratch"
  mkdir -p "$root$scratch/pipe"
  # The caches in the scratch folder: the X server keeps shaders there.
  in_root=(chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=$scratch
    XDG_CACHE_HOME=$scratch)

  "${in_root[@]}" Xvfb -displayfd 1 -nolisten tcp -screen 0 640x480x24 >"$log-display" 2>"$log-xvfb.log" &
  started+=($!)
  local xvfb=$!
  wait_for_line "$log-display" '^[0-9]+$' 30 || { cat "$log-xvfb.log" >&2; fail "$suite: Xvfb did not start"; }
  local display=:$(head -n 1 "$log-display")

  "${in_root[@]}" NAMED_PIPE_DIR=$scratch/pipe $service >"$log-service.out" 2>&1 &
  started+=($!)
  local service_pid=$!
  wait_for_line "$log-service.out" 'listening on' 30 || { cat "$log-service.out" >&2; fail "$suite: no service"; }

  "${in_root[@]}" DISPLAY="$display" NAMED_PIPE_DIR=$scratch/pipe $agent 2>"$log-agent.err" &
  started+=($!)
  local agent_pid=$!
  wait_for_line "$log-service.out" '^common ([2-9]|[1-9][0-9]+) s' 30 ||
    { cat "$log-service.out" "$log-agent.err" >&2; fail "$suite: no report of a growing idle time"; }
  local seen
  seen=$(wc -l <"$log-service.out")
  "${in_root[@]}" DISPLAY="$display" xdotool mousemove_relative -- 9 9 || fail "$suite: xdotool"
  wait_for_line "$log-service.out" '^common 0 s' 30 $((seen + 1)) ||
    { cat "$log-service.out" >&2; fail "$suite: the input did not bring the idle time back to 0"; }

  kill -TERM "$agent_pid"
  local code=0
  wait "$agent_pid" || code=$?
  expect_equal "$suite: the agent's exit code after a quit" "$code" 0
  expect_equal "$suite: the agent's standard error" "$(cat "$log-agent.err")" \
    "SchedulerAgent: idle time from x11"
  kill -TERM "$service_pid"
  code=0
  wait "$service_pid" || code=$?
  expect_equal "$suite: the service's exit code" "$code" 0
  kill -TERM "$xvfb"
  wait "$xvfb" || true
  rm -rf "${root:?}$scratch"
  echo "$suite: $(grep -c '^common' "$log-service.out") reports of changes, exit code 0"
}

# Starts the root's sway headless with its own default configuration, as an ordinary
# user: the package's snippet must start one agent, which reports through the compositor's
# idle protocol and ends with the compositor.
prove_sway_starts_agent() {
  local root=$1 suite=$2 scratch=/tmp/sa-sway-test user=65534
  local log=$work/$suite-sway
  rm -rf "${root:?}$scratch"
  mkdir -p "$root$scratch/pipe" "$root$scratch/run"
  chown $user:$user "$root$scratch/run"
  chmod 0700 "$root$scratch/run"

  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=$scratch \
    XDG_CACHE_HOME=$scratch NAMED_PIPE_DIR=$scratch/pipe $service >"$log-service.out" 2>&1 &
  started+=($!)
  local service_pid=$!
  wait_for_line "$log-service.out" 'listening on' 30 || { cat "$log-service.out" >&2; fail "$suite: no service"; }

  # sway refuses to run as root; the runtime folder doubles as HOME.
  chroot "$root" setpriv --reuid=$user --regid=$user --clear-groups env -i \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=$scratch/run XDG_RUNTIME_DIR=$scratch/run \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    NAMED_PIPE_DIR=$scratch/pipe sway >"$log.out" 2>&1 &
  started+=($!)
  local sway_pid=$!
  wait_for_line "$log-service.out" "uid $user pid [0-9]+: [0-9]+ s" 60 ||
    { tail -n 30 "$log.out" "$log-service.out" >&2; fail "$suite: sway did not start the agent"; }
  # The agent says once which source it reads (sway's own idle notifications), and nothing
  # else.
  expect_equal "$suite: what the agent under sway said" "$(grep 'SchedulerAgent' "$log.out")" \
    "SchedulerAgent: idle time from ext_idle_notifier_v1"

  kill -TERM "$sway_pid"
  wait "$sway_pid" || true
  local i
  for ((i = 0; i < 300; i++)); do
    pgrep -u $user -x SchedulerAgent >/dev/null || break
    sleep 0.1
  done
  ! pgrep -u $user -x SchedulerAgent >/dev/null || fail "$suite: the agent outlived sway"
  kill -TERM "$service_pid"
  wait "$service_pid" || true
  expect_equal "$suite: agents that sway started" \
    "$(grep -oE "uid $user pid [0-9]+" "$log-service.out" | sort -u | wc -l)" 1
  rm -rf "${root:?}$scratch"
  echo "$suite: sway started one agent; it ended with sway"
}

# Installs the .debs into SUITE's chroot with dpkg (their dependencies must be there),
# checks the start-up state, runs the agent, purges them, and finds the root as before.
prove_deb_in_root() {
  local suite=$1 root
  shift
  root=$("$top/scripts/debian-root.sh" "$suite" xvfb xauth xdotool libxcb1 libwayland-client0 \
    libdbus-1-3 "$@")
  # What an earlier, interrupted run may have left.
  chroot "$root" dpkg --purge scheduler-agent scheduler-idle-service >/dev/null 2>&1 || true
  root_files "$root" >"$work/$suite.before"

  mkdir -p "$root/tmp/sa-packages"
  cp "$agent_deb" "$service_deb" "$root/tmp/sa-packages/"
  chroot "$root" dpkg -i /tmp/sa-packages/"$(basename "$agent_deb")" \
    /tmp/sa-packages/"$(basename "$service_deb")" >"$work/$suite-dpkg.log" 2>&1 ||
    { cat "$work/$suite-dpkg.log" >&2; fail "$suite: dpkg -i"; }
  # The user unit is enabled for every user; the reference service is not enabled.
  [ -L "$root/etc/systemd/user/graphical-session.target.wants/scheduler-agent.service" ] ||
    fail "$suite: the user unit is not enabled"
  [ ! -e "$root/etc/systemd/system/multi-user.target.wants/scheduler-idle-service.service" ] ||
    fail "$suite: the idle service was enabled without being asked for"

  prove_runs "$root" "$suite"
  if [ "$suite" = trixie ]; then prove_sway_starts_agent "$root" "$suite"; fi

  chroot "$root" dpkg --purge scheduler-agent scheduler-idle-service >>"$work/$suite-dpkg.log" 2>&1 ||
    { cat "$work/$suite-dpkg.log" >&2; fail "$suite: dpkg --purge"; }
  rm -rf "$root/tmp/sa-packages"
  expect_root_as_before "$root" "$work/$suite.before" "dpkg --purge"
}

# Installs the RPMs into SUITE's chroot with rpm (a database of the test's own), so that
# their scriptlets run with the root's systemctl; erases them and finds the root as before.
prove_rpm_in_root() {
  local suite=$1 root db=/tmp/sa-rpm-db
  root=$("$top/scripts/debian-root.sh" "$suite" systemd)
  rm -rf "${root:?}$db"
  # Every RPM system has /opt (its file system package's); dpkg takes it away with the
  # last package in it.
  mkdir -p "$root/opt"
  root_files "$root" >"$work/$suite-rpm.before"
  rpm=(rpm --root "$root" --dbpath "$db")
  "${rpm[@]}" -i --nodeps "$agent_rpm" "$service_rpm" >"$work/$suite-rpm.log" 2>&1 ||
    { cat "$work/$suite-rpm.log" >&2; fail "$suite: rpm -i"; }
  [ -L "$root/etc/systemd/user/graphical-session.target.wants/scheduler-agent.service" ] ||
    fail "$suite: the RPM did not enable the user unit"
  [ ! -e "$root/etc/systemd/system/multi-user.target.wants/scheduler-idle-service.service" ] ||
    fail "$suite: the RPM enabled the idle service without being asked for"
  "${rpm[@]}" -e scheduler-agent scheduler-idle-service >>"$work/$suite-rpm.log" 2>&1 ||
    { cat "$work/$suite-rpm.log" >&2; fail "$suite: rpm -e"; }
  rm -rf "${root:?}$db"
  expect_root_as_before "$root" "$work/$suite-rpm.before" "rpm -e"
}

# An upgrade keeps an administrator's choices: the user unit they disabled stays
# disabled, the session file they emptied stays empty. KIND is deb (dpkg in SUITE's
# chroot, the unit disabled by removing its link, as `systemctl --global disable` does
# where systemctl is missing) or rpm (rpm and the root's own systemctl).
prove_upgrade_keeps_choices() {
  local kind=$1 suite=$2 root db=/tmp/sa-rpm-db older=$work/older
  local link=/etc/systemd/user/graphical-session.target.wants/scheduler-agent.service
  local snippet=/etc/sway/config.d/scheduler-agent.conf
  root=$("$top/scripts/debian-root.sh" "$suite")
  if [ ! -d "$older" ]; then
    cpack --config "$build/CPackConfig.cmake" -B "$older" -R 0.0.1 >"$work/cpack-older.log" 2>&1 ||
      { cat "$work/cpack-older.log" >&2; fail "cpack of the older packages"; }
  fi
  mkdir -p "$root/opt" "$root/tmp/sa-packages"
  rm -rf "${root:?}$db"
  root_files "$root" >"$work/$suite-$kind-upgrade.before"

  local install upgrade remove new
  case $kind in
  deb)
    cp "$older"/scheduler-agent_0.0.1_amd64.deb "$agent_deb" "$root/tmp/sa-packages/"
    install=(chroot "$root" dpkg -i /tmp/sa-packages/scheduler-agent_0.0.1_amd64.deb)
    upgrade=(chroot "$root" dpkg -i "/tmp/sa-packages/$(basename "$agent_deb")")
    remove=(chroot "$root" dpkg --purge scheduler-agent)
    new=$(dpkg-deb -f "$agent_deb" Version)
    ;;
  rpm)
    install=(rpm --root "$root" --dbpath "$db" -i --nodeps "$older"/scheduler-agent-0.0.1-1.x86_64.rpm)
    upgrade=(rpm --root "$root" --dbpath "$db" -U --nodeps "$agent_rpm")
    remove=(rpm --root "$root" --dbpath "$db" -e scheduler-agent)
    new=$(rpm -qp --qf '%{VERSION}' "$agent_rpm")
    ;;
  esac
  local log=$work/$suite-$kind-upgrade.log
  "${install[@]}" >"$log" 2>&1 || { cat "$log" >&2; fail "$suite: installing the older $kind"; }
  [ -L "$root$link" ] || fail "$suite: the older $kind did not enable the user unit"
  if [ "$kind" = rpm ]; then
    chroot "$root" systemctl --global disable scheduler-agent.service >>"$log" 2>&1 ||
      { cat "$log" >&2; fail "$suite: systemctl --global disable"; }
  else
    rm "$root$link"
  fi
  echo "# not here" >"$root$snippet"

  "${upgrade[@]}" >>"$log" 2>&1 || { cat "$log" >&2; fail "$suite: upgrading the $kind"; }
  [ -x "$root$agent" ] || fail "$suite: no agent after the $kind upgrade"
  if [ "$kind" = rpm ]; then
    expect_equal "$suite: version after the rpm upgrade" \
      "$(rpm --root "$root" --dbpath "$db" -q --qf '%{VERSION}' scheduler-agent)" "$new"
  else
    expect_equal "$suite: version after the deb upgrade" \
      "$(chroot "$root" dpkg-query -W -f '${Version}' scheduler-agent)" "$new"
  fi
  [ ! -e "$root$link" ] || fail "$suite: the $kind upgrade enabled the disabled user unit again"
  expect_equal "$suite: the emptied sway snippet after the $kind upgrade" "$(cat "$root$snippet")" \
    "# not here"

  "${remove[@]}" >>"$log" 2>&1 || { cat "$log" >&2; fail "$suite: removing the $kind"; }
  # rpm keeps an edited configuration file as .rpmsave, dpkg's purge removes it.
  rm -f "$root$snippet.rpmsave"
  rm -rf "${root:?}$db" "$root/tmp/sa-packages"
  expect_root_as_before "$root" "$work/$suite-$kind-upgrade.before" "the $kind upgrade and removal"
  echo "$suite: the $kind upgrade kept the disabled unit and the edited snippet"
}
