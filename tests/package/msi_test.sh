#!/usr/bin/env bash
# The Windows installer: built with CPack from a build folder, its tables read with
# msiinfo, and installed, upgraded and removed by Wine's msiexec in Wine prefixes of the
# test's own (an installation changes the prefix; other tests share theirs).
#
#   msi_test.sh build WORK_DIR BUILD_DIR LOWER_VERSION
#       the MSIs: this build's version twice (two builds of one release) and a lower one
#   msi_test.sh tables WORK_DIR
#   msi_test.sh install WORK_DIR RUNNER
#       a silent install, the same release again, the service added, the installed agent
#       run against it, an uninstall that leaves the logs and the administrator's file
#   msi_test.sh upgrade WORK_DIR REFUSAL_RUNNER
#       a lower version upgraded, the installed agent logging by DEBUGLOG=1, a downgrade
#       refused, INSTALLDIR and an administrator's MKLOG.INI
set -euo pipefail

step=$1 work=$2

source "$(dirname "$0")/checks.sh"

msi_of() { # DIR: the one MSI CPack made there
  local found=("$1"/SchedulerAgent-*-x64.msi)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || fail "no single MSI in $1"
  echo "${found[0]}"
}

# A table as msiinfo exports it, without its three header lines, sorted.
table() {
  msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r' | sort
}

if [ "$step" = build ]; then
  build=$3 lower=$4
  rm -rf "$work"
  mkdir -p "$work"
  # -G External: the MSI alone; the zip has its own test.
  for out in current rebuilt; do
    cpack --config "$build/CPackConfig.cmake" -G External -B "$work/$out" >"$work/$out.log" 2>&1 ||
      { cat "$work/$out.log" >&2; fail "cpack"; }
  done
  cpack --config "$build/CPackConfig.cmake" -G External -R "$lower" -B "$work/lower" \
    >"$work/lower.log" 2>&1 || { cat "$work/lower.log" >&2; fail "cpack -R $lower"; }
  [ -f "$work/lower/SchedulerAgent-$lower-x64.msi" ] ||
    fail "the lower version's MSI is not named by its version"
  echo "msi build: ok"
  exit 0
fi

current=$(msi_of "$work/current")
rebuilt=$(msi_of "$work/rebuilt")
lower=$(msi_of "$work/lower")
version=$(basename "$current" | sed -E 's/^SchedulerAgent-(.*)-x64\.msi$/\1/')
lower_version=$(basename "$lower" | sed -E 's/^SchedulerAgent-(.*)-x64\.msi$/\1/')

if [ "$step" = tables ]; then
  property() { table "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
  # Every version ever shipped finds its predecessors by this code: it never changes.
  upgrade_code='{09729736-CD8C-474A-B2AC-D5690610C7A6}'
  expect_equal "UpgradeCode" "$(property "$current" UpgradeCode)" "$upgrade_code"
  expect_equal "the lower version's UpgradeCode" "$(property "$lower" UpgradeCode)" "$upgrade_code"
  expect_equal "the rebuild's ProductCode" "$(property "$rebuilt" ProductCode)" \
    "$(property "$current" ProductCode)"
  [ "$(property "$lower" ProductCode)" != "$(property "$current" ProductCode)" ] ||
    fail "two versions share a ProductCode"
  expect_equal "ProductVersion" "$(property "$current" ProductVersion)" "$version"
  expect_equal "ALLUSERS" "$(property "$current" ALLUSERS)" 1
  expect_equal "the rebuild's package code" \
    "$(msiinfo suminfo "$rebuilt" | grep '^Revision number')" \
    "$(msiinfo suminfo "$current" | grep '^Revision number')"
  msiinfo suminfo "$current" | grep -qx 'Template: x64;1033' || fail "not an x64 package"

  # Nothing written beyond the files and the Run value: no shortcuts, services, folders
  # of its own or removals.
  for t in Shortcut ServiceInstall ServiceControl CreateFolder RemoveFile; do
    expect_equal "$t table" "$(table "$current" $t)" ""
  done
  msiinfo tables "$current" | grep -qxE 'IniFile|Environment|MoveFile|DuplicateFile' &&
    fail "tables that change the machine: $(msiinfo tables "$current" | tr '\n' ' ')"
  # HKLM (2), the quoted path of the installed executable.
  expect_equal "Registry" "$(table "$current" Registry)" \
    "RunSchedulerAgent	2	Software\\Microsoft\\Windows\\CurrentVersion\\Run	SchedulerAgent	\"[#SchedulerAgent.exe]\"	RunValue"

  # Each component with its folder, attributes (256: 64-bit; 4: a registry key path),
  # condition and key path; one file per component.
  expect_equal "Component (without GUIDs)" "$(table "$current" Component | cut -f1,3-)" \
    "AgentExecutable	INSTALLDIR	256		SchedulerAgent.exe
Catalogue_de	Locale_de_Messages	256		Catalogue_de
Catalogue_fr	Locale_fr_Messages	256		Catalogue_fr
DebugLogSwitch	INSTALLDIR	256	(DEBUGLOG = \"1\" AND (NOT MKLOG_FOUND OR MKLOG_OURS)) OR (REMOVE ~= \"ALL\" AND MKLOG_OURS)	MKLOG.INI
IdleServiceExecutable	INSTALLDIR	256		idle_service.exe
RunValue	INSTALLDIR	260		RunSchedulerAgent
StatusExecutable	INSTALLDIR	256		SchedulerAgentStatus.exe"
  expect_equal "File (key, component, name)" "$(table "$current" File | cut -f1-3)" \
    "Catalogue_de	Catalogue_de	default.mo
Catalogue_fr	Catalogue_fr	default.mo
MKLOG.INI	DebugLogSwitch	MKLOG.INI
SchedulerAgent.exe	AgentExecutable	SchedulerAgent.exe
SchedulerAgentStatus.exe	StatusExecutable	SchedulerAgentStatus.exe
idle_service.exe	IdleServiceExecutable	idle_service.exe"
  # A component's GUID belongs to its key path for good: the same in every version.
  expect_equal "the lower version's component GUIDs" "$(table "$lower" Component | cut -f1,2)" \
    "$(table "$current" Component | cut -f1,2)"
  [ "$(table "$current" Component | cut -f2 | sort -u | grep -c '^{')" -eq 7 ] ||
    fail "components without their own GUID"

  expect_equal "Feature (name, parent, level)" "$(table "$current" Feature | cut -f1,2,6)" \
    "Agent		1
IdleService	Agent	1000"
  [ "$(table "$current" FeatureComponents | grep -c '^Agent	')" -eq 6 ] || fail "Agent's components"
  table "$current" FeatureComponents | grep -qx 'IdleService	IdleServiceExecutable' ||
    fail "the service's feature lacks the service"

  # Older versions of the product are found and removed (1: their features migrate; the
  # maximum, this version, excluded); newer ones only detected, and they stop the install.
  expect_equal "Upgrade" "$(table "$current" Upgrade)" \
    "$upgrade_code		$version		1		WIX_UPGRADE_DETECTED
$upgrade_code	$version			2		WIX_DOWNGRADE_DETECTED"
  table "$current" LaunchCondition | grep -q '^NOT WIX_DOWNGRADE_DETECTED	A newer version of SchedulerAgent is already installed' ||
    fail "no refusal of a downgrade"
  sequence() {
    table "$current" InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a { print $3 }'
  }
  (($(sequence InstallValidate) < $(sequence RemoveExistingProducts) &&
    $(sequence RemoveExistingProducts) < $(sequence InstallInitialize))) ||
    fail "the older version must leave before the new files go in"
  (($(sequence SetDefaultInstallDir) < $(sequence AppSearch) &&
    $(sequence AppSearch) < $(sequence SetInstalledDir) &&
    $(sequence SetInstalledDir) < $(sequence CostFinalize))) ||
    fail "the searches must run after INSTALLDIR's default and before costing"
  echo "msi tables: ok"
  exit 0
fi

# --- Under Wine ------------------------------------------------------------------------

wine=/usr/lib/wine/wine64
export WINEPREFIX="$work/prefix-$step"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k || true' EXIT
"$wine" cmd /c exit >/dev/null 2>&1 || true

# Wine hands a Windows exit code to Linux in 8 bits.
readonly refused=$((1603 & 255))

windows_path() { echo "Z:${1//\//\\}"; }

# msiexec ACTION MSI [PROPERTY=VALUE...]: silent, logged; answers the exit code.
msiexec() {
  local action=$1 msi=$2
  shift 2
  local log
  log="$work/$step-$(date +%s%N).log"
  local code=0
  "$wine" msiexec "$action" "$(windows_path "$msi")" /qn /l*v "$(windows_path "$log")" "$@" ||
    code=$?
  echo "$code"
}

expect_file() { # the file's exact bytes
  cmp -s "$1" <(printf '%s' "$2") || fail "$1 holds $(od -c "$1" | head -5)"
}

expect_install() {
  local code
  code=$(msiexec "$@")
  [ "$code" -eq 0 ] || fail "msiexec $* ended with $code"
}

drive_c="$WINEPREFIX/drive_c"
default_dir="$drive_c/Program Files/SchedulerAgent"

# Every file below a folder with its checksum, sorted.
files_of() {
  [ -d "$1" ] || return 0
  (cd "$1" && find . -type f -printf '%P\n' | sort | while read -r f; do
    printf '%s  %s\n' "$(md5sum <"$f" | cut -d' ' -f1)" "$f"
  done)
}

# What the MSI lays down, with the service and MKLOG.INI when asked: its own files,
# extracted by msitools.
payload() {
  local msi=$1 with_service=$2 with_ini=$3 dir
  dir=$(mktemp -d "$work/payload.XXXX")
  msiextract -C "$dir" "$msi" >/dev/null
  local root="$dir/SchedulerAgent"
  [ "$with_service" = yes ] || rm "$root/idle_service.exe"
  [ "$with_ini" = yes ] || rm "$root/MKLOG.INI"
  files_of "$root"
  rm -rf "$dir"
}

# The Run key's values that start the agent, one per line.
run_values() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' 2>/dev/null |
    tr -d '\r' | grep -i 'SchedulerAgent' || true
}

# The installed versions of the product, from the installer's own uninstall entries.
products() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '
      /^HKEY/ { name = ""; version = "" }
      $1 == "DisplayName" { name = $3 }
      $1 == "DisplayVersion" { version = $3 }
      name == "SchedulerAgent" && version != "" { print version; name = "" }' | sort
}

# Everything an install touches, to compare before and after: files with their times.
snapshot() {
  files_of "$default_dir"
  [ -d "$default_dir" ] && (cd "$default_dir" && find . -printf '%P %T@\n' | sort)
  run_values
  products
}

run_line() { # the Run value that starts the agent installed in FOLDER (a Windows path)
  printf '    SchedulerAgent    REG_SZ    "%s\\SchedulerAgent.exe"' "$1"
}

readonly admin_ini=$'[settings]\r\nDebuggLog=1\r\n\r\n[defines]\r\nSiteDefine=1\r\n'
readonly installer_ini=$'[settings]\r\nDebuggLog=1\r\n'

case $step in
install)
  runner=$3
  # Silent install, defaults: the agent and its catalogues, no service, no MKLOG.INI.
  expect_install /i "$current"
  expect_equal "installed files" "$(files_of "$default_dir")" "$(payload "$current" no no)"
  expect_equal "Run value" "$(run_values)" "$(run_line 'C:\Program Files\SchedulerAgent')"
  expect_equal "installed versions" "$(products)" "$version"

  # The same release again, from a second build of it: nothing changes.
  before=$(snapshot)
  expect_install /i "$rebuilt"
  expect_equal "state after the same version twice" "$(snapshot)" "$before"

  # The reference service, added to the installed product.
  expect_install /i "$current" ADDLOCAL=IdleService
  expect_equal "files with the service" "$(files_of "$default_dir")" "$(payload "$current" yes no)"

  SA_PACKAGE_DIR='C:\Program Files\SchedulerAgent' "$wine" "$runner"

  # An administrator's own switch, and a log the agent wrote, outlive the product.
  printf '%s' "$admin_ini" >"$default_dir/MKLOG.INI"
  printf 'entries\r\n' >"$default_dir/Debugg.log"
  expect_install /x "$current"
  expect_equal "files after the uninstall" "$(cd "$default_dir" && find . -mindepth 1 | sort)" \
    "./Debugg.log
./MKLOG.INI"
  expect_file "$default_dir/MKLOG.INI" "$admin_ini"
  expect_equal "Run value after the uninstall" "$(run_values)" ""
  expect_equal "installed versions after the uninstall" "$(products)" ""
  ;;
upgrade)
  refusal_runner=$3
  # The lower version with the service and the log switched on...
  expect_install /i "$lower" ADDLOCAL=IdleService DEBUGLOG=1
  expect_equal "installed versions" "$(products)" "$lower_version"
  expect_file "$default_dir/MKLOG.INI" "$installer_ini"
  # ...with a file that differs from this version's, as a file of another build would.
  printf 'older catalogue' >"$default_dir/locale/de/LC_MESSAGES/default.mo"

  # ...upgraded: this version's files only, one product, one Run value; the switch the
  # older version's installer wrote is this one's now.
  expect_install /i "$current" ADDLOCAL=IdleService DEBUGLOG=1
  expect_equal "versions after the upgrade" "$(products)" "$version"
  expect_equal "Run value after the upgrade" "$(run_values)" \
    "$(run_line 'C:\Program Files\SchedulerAgent')"
  expect_equal "files after the upgrade" "$(files_of "$default_dir")" \
    "$(payload "$current" yes yes)"

  # The installed agent reads the installer's MKLOG.INI: its debug log is on.
  log="$default_dir/Debugg.log"
  "$wine" 'C:\Program Files\SchedulerAgent\SchedulerAgent.exe' >"$work/agent.out" 2>&1 &
  agent=$!
  for _ in $(seq 100); do
    grep -q ' : Program started\.' "$log" 2>/dev/null && break
    sleep 0.2
  done
  "$wine" taskkill /f /im SchedulerAgent.exe >/dev/null 2>&1 || true
  wait "$agent" || true
  grep -q ' : Program started\.' "$log" 2>/dev/null ||
    fail "the agent wrote no debug log with the installer's MKLOG.INI: $(cat "$work/agent.out")"

  # A downgrade is refused and changes nothing.
  before=$(snapshot)
  code=$(msiexec /i "$lower")
  expect_equal "exit code of a downgrade" "$code" "$refused"
  expect_equal "state after a refused downgrade" "$(snapshot)" "$before"
  # By hand, with the installer's basic UI: the refusal names its reason in a box.
  SA_MSI="$(windows_path "$lower")" "$wine" "$refusal_runner"
  expect_equal "state after a refused downgrade by hand" "$(snapshot)" "$before"

  # The uninstall takes the MKLOG.INI the installer wrote and leaves the agent's log.
  expect_install /x "$current"
  expect_equal "files after the uninstall" "$(cd "$default_dir" && find . -mindepth 1)" \
    "./Debugg.log"
  rm -r "$default_dir"
  expect_equal "Run value after the uninstall" "$(run_values)" ""

  # INSTALLDIR (with a space), and DEBUGLOG=1 where the administrator's MKLOG.INI is:
  # that file is left as it is, and stays after the uninstall.
  custom_dir="$drive_c/Tools/Scheduler Agent"
  mkdir -p "$custom_dir"
  printf '%s' "$admin_ini" >"$custom_dir/MKLOG.INI"
  expect_install /i "$current" 'INSTALLDIR=C:\Tools\Scheduler Agent' DEBUGLOG=1
  [ ! -e "$default_dir" ] || fail "files in the default folder despite INSTALLDIR"
  expect_equal "files in INSTALLDIR" "$(files_of "$custom_dir" | grep -v ' MKLOG.INI$')" \
    "$(payload "$current" no no)"
  expect_file "$custom_dir/MKLOG.INI" "$admin_ini"
  expect_equal "Run value with INSTALLDIR" "$(run_values)" "$(run_line 'C:\Tools\Scheduler Agent')"
  expect_install /x "$current"
  expect_equal "files after the uninstall" "$(cd "$custom_dir" && find . -mindepth 1)" "./MKLOG.INI"
  expect_file "$custom_dir/MKLOG.INI" "$admin_ini"
  expect_equal "Run value after the uninstall" "$(run_values)" ""
  ;;
*)
  fail "unknown step $step"
  ;;
esac
# A prefix takes hundreds of MB: kept only when a check failed, to look into.
/usr/lib/wine/wineserver -k || true
/usr/lib/wine/wineserver -w || true
rm -rf "$WINEPREFIX"
echo "msi $step: ok"
