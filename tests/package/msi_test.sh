#!/usr/bin/env bash
# The Windows installer: built with CPack from a build folder, its tables read with
# msiinfo, and installed, upgraded and removed by Wine's msiexec in Wine prefixes of the
# test's own (an installation changes the prefix; other tests share theirs).
#
#   msi_test.sh build WORK_DIR RELEASE_BUILD_DIR LOWER_VERSION CHANGE_SCRIPT
#       the MSIs of the optimised build: its version twice (two builds of one release),
#       once with one file changed by CHANGE_SCRIPT (another build of the same version),
#       and a lower version
#   msi_test.sh tables WORK_DIR RELEASE_BUILD_DIR OBJDUMP
#   msi_test.sh install WORK_DIR RUNNER VERSION_READER
#       a silent install with its Apps & features entry, the same release again, the
#       service added, the installed programs' version resources, the installed agent run
#       against the service, an uninstall that leaves the logs and the administrator's file
#   msi_test.sh upgrade WORK_DIR REFUSAL_RUNNER
#       a lower version upgraded with its log kept, the installed agent logging by
#       DEBUGLOG=1, a downgrade refused, INSTALLDIR and an administrator's MKLOG.INI
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
  build=$3 lower=$4 change=$5
  [ -f "$build/CPackConfig.cmake" ] || fail "no release build in $build: \
cmake --preset windows-release && cmake --build --preset windows-release"
  rm -rf "$work"
  mkdir -p "$work"
  # -G External: the MSI alone; the zip has its own test.
  package() { # OUT [CPACK ARGUMENT...]
    local out=$1
    shift
    cpack --config "$build/CPackConfig.cmake" -G External -B "$work/$out" "$@" \
      >"$work/$out.log" 2>&1 || { cat "$work/$out.log" >&2; fail "cpack $*"; }
  }
  package current
  package rebuilt
  package changed -D CPACK_PRE_BUILD_SCRIPTS="$change"
  package lower -R "$lower"
  [ -f "$work/lower/SchedulerAgent-$lower-x64.msi" ] ||
    fail "the lower version's MSI is not named by its version"
  echo "msi build: ok"
  exit 0
fi

current=$(msi_of "$work/current")
rebuilt=$(msi_of "$work/rebuilt")
changed=$(msi_of "$work/changed")
lower=$(msi_of "$work/lower")
version=$(basename "$current" | sed -E 's/^SchedulerAgent-(.*)-x64\.msi$/\1/')
lower_version=$(basename "$lower" | sed -E 's/^SchedulerAgent-(.*)-x64\.msi$/\1/')

property() { table "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

if [ "$step" = tables ]; then
  build=$3 objdump=$4
  package_code() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
  cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
  # Every version ever shipped finds its predecessors by this code: it never changes.
  upgrade_code='{09729736-CD8C-474A-B2AC-D5690610C7A6}'
  expect_equal "UpgradeCode" "$(property "$current" UpgradeCode)" "$upgrade_code"
  expect_equal "the lower version's UpgradeCode" "$(property "$lower" UpgradeCode)" "$upgrade_code"
  # A product per version; a package code per package: the same files give the same one,
  # one file changed another, though the version is the same.
  expect_equal "the rebuild's and the changed build's ProductCode" \
    "$(property "$rebuilt" ProductCode) $(property "$changed" ProductCode)" \
    "$(property "$current" ProductCode) $(property "$current" ProductCode)"
  [ "$(property "$lower" ProductCode)" != "$(property "$current" ProductCode)" ] ||
    fail "two versions share a ProductCode"
  expect_equal "the rebuild's package code" "$(package_code "$rebuilt")" \
    "$(package_code "$current")"
  codes=$(printf '%s\n' "$(package_code "$current")" "$(package_code "$changed")" \
    "$(package_code "$lower")")
  expect_equal "different package codes of three different packages: $codes" \
    "$(sort -u <<<"$codes" | grep -c '^{[0-9A-F-]*}$')" 3
  expect_equal "ProductVersion" "$(property "$current" ProductVersion)" "$version"
  expect_equal "ALLUSERS" "$(property "$current" ALLUSERS)" 1
  msiinfo suminfo "$current" | grep -qx 'Template: x64;1033' || fail "not an x64 package"

  # Apps & features: publisher, the links the build was configured with, the contact, the
  # icon (a row of the Icon table), no Change button; the folder is set once known.
  expect_equal "Apps & features properties" "$(for p in Manufacturer ARPHELPLINK ARPURLINFOABOUT \
    ARPCONTACT ARPPRODUCTICON ARPNOMODIFY; do property "$current" $p; done)" \
    "SchedulerAgent developers
$(cache SA_MSI_HELP_LINK)
$(cache SA_MSI_ABOUT_LINK)
$(cache SA_PACKAGE_CONTACT)
SchedulerAgent.ico
1"
  # The icon is the one the build was configured with (msiinfo writes a table's streams
  # into a folder of the table's name).
  expect_equal "Icon" "$(cd "$work" && table "$current" Icon | cut -f1)" "SchedulerAgent.ico"
  cmp "$work/Icon/Icon.SchedulerAgent.ico" "$(cache SA_MSI_ICON)" || fail "another icon"
  table "$current" CustomAction | grep -qx 'SetArpInstallLocation	51	ARPINSTALLLOCATION	\[INSTALLDIR\]	' ||
    fail "ARPINSTALLLOCATION is not set from INSTALLDIR"

  # The debug log is the one object whose permissions the installer sets: interactive users
  # read and write it, beside the folder's own grants.
  expect_equal "MsiLockPermissionsEx" "$(table "$current" MsiLockPermissionsEx)" \
    "DebugLogWritable	Debugg.log	File	D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)(A;;FRFW;;;IU)	"
  msiinfo tables "$current" | grep -qx 'LockPermissions' && fail "a second permission table"

  # What ships is the optimised build, without debug information. The agent starts from the
  # Run value at every logon, so it is a program of the windowed subsystem, which opens no
  # console window; the service and the status command are console programs.
  payload_dir="$work/tables-payload"
  rm -rf "$payload_dir"
  mkdir -p "$payload_dir"
  # In the folder: msiextract writes the Icon table's streams to the working folder.
  (cd "$payload_dir" && msiextract "$current" >/dev/null)
  for program in SchedulerAgent.exe idle_service.exe SchedulerAgentStatus.exe; do
    sections=$("$objdump" -h "$payload_dir/SchedulerAgent/$program" |
      awk '$2 ~ /^\.debug/ { print $2 }')
    expect_equal "debug sections of $program" "$sections" ""
    subsystem=$("$objdump" -p "$payload_dir/SchedulerAgent/$program" |
      sed -n 's/^Subsystem[[:space:]].*(\(.*\))$/\1/p')
    want="Windows CUI"
    [ "$program" = SchedulerAgent.exe ] && want="Windows GUI"
    expect_equal "subsystem of $program" "$subsystem" "$want"
  done
  rm -rf "$payload_dir"

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

  # Each component with its folder, attributes (256: 64-bit; 4: a registry key path; the
  # debug log's 128 and 16: laid down only where none is, never removed), condition and
  # key path; one file per component.
  expect_equal "Component (without GUIDs)" "$(table "$current" Component | cut -f1,3-)" \
    "Catalogue_de	Locale_de_Messages	256		Catalogue_de
Catalogue_fr	Locale_fr_Messages	256		Catalogue_fr
DebugLog	INSTALLDIR	400		Debugg.log
DebugLogSwitch	INSTALLDIR	256	(DEBUGLOG = \"1\" AND (NOT MKLOG_FOUND OR MKLOG_OURS)) OR (REMOVE ~= \"ALL\" AND MKLOG_OURS)	MKLOG.INI
IdleServiceExecutable	INSTALLDIR	256		idle_service.exe
Program_SchedulerAgent	INSTALLDIR	256		SchedulerAgent.exe
Program_SchedulerAgentStatus	INSTALLDIR	256		SchedulerAgentStatus.exe
RunValue	INSTALLDIR	260		RunSchedulerAgent"
  # The programs with the version their resource carries (this build's, whatever version
  # the package is stamped with), so Windows Installer's file-versioning rules apply; the
  # other files by their checksums.
  file_version="$(cache CMAKE_PROJECT_VERSION).0"
  for msi in "$current" "$lower"; do
    expect_equal "File (key, component, name, version, language) of $(basename "$msi")" \
      "$(table "$msi" File | cut -f1-3,5,6)" \
      "Catalogue_de	Catalogue_de	default.mo		
Catalogue_fr	Catalogue_fr	default.mo		
Debugg.log	DebugLog	Debugg.log		
MKLOG.INI	DebugLogSwitch	MKLOG.INI		
SchedulerAgent.exe	Program_SchedulerAgent	SchedulerAgent.exe	$file_version	1033
SchedulerAgentStatus.exe	Program_SchedulerAgentStatus	SchedulerAgentStatus.exe	$file_version	1033
idle_service.exe	IdleServiceExecutable	idle_service.exe	$file_version	1033"
  done
  expect_equal "MsiFileHash" "$(table "$current" MsiFileHash | cut -f1)" \
    "Catalogue_de
Catalogue_fr
Debugg.log
MKLOG.INI"
  # A component's GUID belongs to its key path for good: the same in every version.
  expect_equal "the lower version's component GUIDs" "$(table "$lower" Component | cut -f1,2)" \
    "$(table "$current" Component | cut -f1,2)"
  [ "$(table "$current" Component | cut -f2 | sort -u | grep -c '^{')" -eq 8 ] ||
    fail "components without their own GUID"

  expect_equal "Feature (name, parent, level)" "$(table "$current" Feature | cut -f1,2,6)" \
    "Agent		1
IdleService	Agent	1000"
  [ "$(table "$current" FeatureComponents | grep -c '^Agent	')" -eq 7 ] || fail "Agent's components"
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
  (cd "$dir" && msiextract "$msi" >/dev/null)
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

# The installed product's entry in Apps & features: the values an administrator and a
# detection rule see, NAME=VALUE.
arp_entry() {
  local key
  key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(property "$current" ProductCode)"
  "$wine" reg query "$key" 2>/dev/null | tr -d '\r' |
    sed -nE 's/^ +(Contact|DisplayName|DisplayVersion|HelpLink|InstallLocation|NoModify|Publisher|URLInfoAbout) +REG_[A-Z_]+ +(.*)$/\1=\2/p' |
    sort
}

packed_guid() { # {GUID} as Windows Installer's registry keys spell it
  local g=${1//[\{\}-]/} packed i
  packed=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
  for ((i = 16; i < 32; i += 2)); do packed+=${g:i+1:1}${g:i:1}; done
  echo "$packed"
}

run_line() { # the Run value that starts the agent installed in FOLDER (a Windows path)
  printf '    SchedulerAgent    REG_SZ    "%s\\SchedulerAgent.exe"' "$1"
}

readonly admin_ini=$'[settings]\r\nDebuggLog=1\r\n\r\n[defines]\r\nSiteDefine=1\r\n'
readonly installer_ini=$'[settings]\r\nDebuggLog=1\r\n'

case $step in
install)
  runner=$3 version_reader=$4
  # Silent install, defaults: the agent, its catalogues and the empty debug log, no
  # service, no MKLOG.INI.
  expect_install /i "$current"
  expect_equal "installed files" "$(files_of "$default_dir")" "$(payload "$current" no no)"
  [ -f "$default_dir/Debugg.log" ] && [ ! -s "$default_dir/Debugg.log" ] ||
    fail "no empty debug log"
  expect_equal "Run value" "$(run_values)" "$(run_line 'C:\Program Files\SchedulerAgent')"
  expect_equal "installed versions" "$(products)" "$version"
  expect_equal "Apps & features entry" "$(arp_entry)" \
    "Contact=$(property "$current" ARPCONTACT)
DisplayName=SchedulerAgent
DisplayVersion=$version
HelpLink=$(property "$current" ARPHELPLINK)
InstallLocation=C:\Program Files\SchedulerAgent\\
NoModify=0x1
Publisher=SchedulerAgent developers
URLInfoAbout=$(property "$current" ARPURLINFOABOUT)"
  # The icon Apps & features shows, kept by the installer for the installed product.
  icon=$("$wine" reg query "HKLM\\Software\\Classes\\Installer\\Products\\$(packed_guid "$(property "$current" ProductCode)")" \
    /v ProductIcon 2>/dev/null | tr -d '\r' | sed -nE 's/^ +ProductIcon +REG_SZ +//p' || true)
  icon_file="$drive_c/${icon#C:\\}"
  icon_file=${icon_file//\\//}
  [ -n "$icon" ] && [ "$(head -c 4 "$icon_file" | od -An -tx1 | tr -d ' ')" = 00000100 ] ||
    fail "no product icon: '$icon'"

  # The same release again, from a second build of it: nothing changes.
  before=$(snapshot)
  expect_install /i "$rebuilt"
  expect_equal "state after the same version twice" "$(snapshot)" "$before"

  # The reference service, added to the installed product.
  expect_install /i "$current" ADDLOCAL=IdleService
  expect_equal "files with the service" "$(files_of "$default_dir")" "$(payload "$current" yes no)"

  # The installed programs' version resources, as Windows reads them.
  SA_PACKAGE_DIR='C:\Program Files\SchedulerAgent' "$wine" "$version_reader"

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
  # ...with a file that differs from this version's, as a file of another build would,
  # and what its agents logged.
  printf 'older catalogue' >"$default_dir/locale/de/LC_MESSAGES/default.mo"
  older_entries=$'\r\n\r\n10.12.2026 14:03:17 : Debugg logging started.\r\n'
  printf '%s' "$older_entries" >"$default_dir/Debugg.log"

  # ...upgraded: this version's files only, one product, one Run value; the switch the
  # older version's installer wrote is this one's now; the log keeps every entry.
  expect_install /i "$current" ADDLOCAL=IdleService DEBUGLOG=1
  expect_equal "versions after the upgrade" "$(products)" "$version"
  expect_equal "Run value after the upgrade" "$(run_values)" \
    "$(run_line 'C:\Program Files\SchedulerAgent')"
  expect_equal "files after the upgrade" "$(files_of "$default_dir" | grep -v ' Debugg.log$')" \
    "$(payload "$current" yes yes | grep -v ' Debugg.log$')"
  expect_file "$default_dir/Debugg.log" "$older_entries"

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
  arp_entry | grep -qxF 'InstallLocation=C:\Tools\Scheduler Agent\' ||
    fail "InstallLocation with INSTALLDIR: $(arp_entry)"
  expect_install /x "$current"
  expect_equal "files after the uninstall" "$(cd "$custom_dir" && find . -mindepth 1 | sort)" \
    "./Debugg.log
./MKLOG.INI"
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
