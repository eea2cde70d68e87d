# Run by CPack's External generator after it has staged (and stripped) the components:
# builds SchedulerAgent-<version>-x64.msi with wixl, then adds with msibuild what wixl
# cannot express. The version is CPack's, so `cpack -R X.Y.Z` stamps another one.

set(version ${CPACK_PACKAGE_VERSION})
# A new product for each version; the same version built again is the same product.
string(UUID product_code NAMESPACE ${CPACK_SA_MSI_UPGRADE_CODE} NAME "product ${version}"
  TYPE SHA1 UPPER)

# The installer's own files beside the staged components (wixl takes the files' paths
# relative to its working folder): the switch DEBUGLOG=1 lays down, the empty debug log
# and the icon of Apps & features.
set(installer_dir ${CPACK_TEMPORARY_DIRECTORY}/Installer)
file(MAKE_DIRECTORY ${installer_dir})
file(COPY ${CPACK_SA_MSI_MKLOG_INI} DESTINATION ${installer_dir})
file(WRITE ${installer_dir}/Debugg.log "")
file(COPY_FILE ${CPACK_SA_MSI_ICON} ${installer_dir}/SchedulerAgent.ico)

# The version in a program's version resource (its VS_FIXEDFILEINFO, after the
# "VS_VERSION_INFO" key in UTF-16), as Windows Installer compares it: MAJOR.MINOR.BUILD.REV.
function(sa_pe_file_version out exe)
  file(READ ${exe} hex HEX)
  set(key "")
  foreach(c V S _ V E R S I O N _ I N F O)
    string(HEX ${c} code)
    string(APPEND key ${code}00)
  endforeach()
  string(FIND "${hex}" "${key}" at)
  set(signature -1)
  if(at GREATER_EQUAL 0)
    string(SUBSTRING "${hex}" ${at} 256 block)
    string(FIND "${block}" "bd04effe" signature) # 0xFEEF04BD, little-endian
  endif()
  if(at LESS 0 OR signature LESS 0)
    message(FATAL_ERROR "${exe} carries no version resource")
  endif()
  math(EXPR at "${at} + ${signature} + 16") # past the signature and the structure's version
  string(SUBSTRING "${hex}" ${at} 16 numbers)
  set(parts)
  foreach(word 4 0 12 8) # the high then the low half of each little-endian DWORD
    string(SUBSTRING "${numbers}" ${word} 4 bytes)
    string(SUBSTRING "${bytes}" 2 2 high)
    string(SUBSTRING "${bytes}" 0 2 low)
    math(EXPR part "0x${high}${low}")
    list(APPEND parts ${part})
  endforeach()
  list(JOIN parts . joined)
  set(${out} ${joined} PARENT_SCOPE)
endfunction()

# The package code names this exact package: derived from every file it is made of, the
# WiX source, this script and the version, so that two packages share one only when they
# are the same byte for byte, and a rebuild of the same files is recognised as the same
# package. (Windows Installer refuses a second package of an installed product under
# the same code, error 1638, instead of seeing the same release again.)
file(GLOB_RECURSE staged RELATIVE ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT staged)
set(manifest "version ${version}\n")
foreach(input ${CPACK_SA_MSI_SOURCE} ${CMAKE_CURRENT_LIST_FILE})
  file(SHA256 ${input} hash)
  string(APPEND manifest "${hash} source\n")
endforeach()
set(versioned_files)
foreach(path IN LISTS staged)
  file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/${path} hash)
  string(APPEND manifest "${hash} ${path}\n")
  if(path MATCHES "\\.exe$")
    list(APPEND versioned_files ${path})
  endif()
endforeach()
string(UUID package_code NAMESPACE ${CPACK_SA_MSI_UPGRADE_CODE} NAME "package ${manifest}"
  TYPE SHA1 UPPER)

set(msi ${CPACK_TOPLEVEL_DIRECTORY}/SchedulerAgent-${version}-x64.msi)
file(REMOVE ${msi})

execute_process(
  COMMAND ${CPACK_SA_WIXL} --arch x64 --output ${msi}
    --define Version=${version}
    --define ProductCode={${product_code}}
    ${CPACK_SA_MSI_SOURCE}
  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}
  COMMAND_ERROR_IS_FATAL ANY)

# MKLOG.INI goes in only with DEBUGLOG=1, and never over a file the installer did not
# write: an administrator's own one would otherwise become the product's and go with the
# uninstall. A file found there is ours when this product's component owns it
# (CompLocator); that keeps the switch on across a major upgrade, whose search runs before
# the older version leaves. The search looks where the files will go, so INSTALLDIR gets
# its default before the search instead of at costing.
# An uninstall must see the component enabled where this product installed the file:
# Wine's installer leaves a disabled component's file behind, and removes an enabled
# one's even where another wrote it.
set(mklog_condition "(DEBUGLOG = \"1\" AND (NOT MKLOG_FOUND OR MKLOG_OURS)) \
OR (REMOVE ~= \"ALL\" AND MKLOG_OURS)")
set(default_dir "[ProgramFiles64Folder]SchedulerAgent\\")
set(queries
  "UPDATE `Component` SET `Condition` = '${mklog_condition}' \
WHERE `Component` = 'DebugLogSwitch'"
  "CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), \
`Path` CHAR(255), `Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)"
  "CREATE TABLE `CompLocator` (`Signature_` CHAR(72) NOT NULL, \
`ComponentId` CHAR(38) NOT NULL, `Type` SHORT PRIMARY KEY `Signature_`)"
  "INSERT INTO `Signature` (`Signature`, `FileName`) VALUES ('MklogIniPresent', 'MKLOG.INI')"
  "INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) \
VALUES ('MklogIniPresent', '[INSTALLDIR]', 0)"
  "INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('MKLOG_FOUND', 'MklogIniPresent')"
  "INSERT INTO `CompLocator` (`Signature_`, `ComponentId`, `Type`) \
VALUES ('MklogIniInstalled', '${CPACK_SA_MSI_MKLOG_GUID}', 1)"
  "INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('MKLOG_OURS', 'MklogIniInstalled')"
  "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) \
VALUES ('SetDefaultInstallDir', 51, 'INSTALLDIR', '${default_dir}')"
  # An installed product's folder is where its agent is (the folder of the component's
  # key path): Wine's installer would otherwise uninstall from the default folder.
  "INSERT INTO `CompLocator` (`Signature_`, `ComponentId`, `Type`) \
VALUES ('AgentInstalled', '${CPACK_SA_MSI_AGENT_GUID}', 1)"
  "INSERT INTO `AppSearch` (`Property`, `Signature_`) \
VALUES ('INSTALLED_AGENT_DIR', 'AgentInstalled')"
  "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) \
VALUES ('SetInstalledDir', 51, 'INSTALLDIR', '[INSTALLED_AGENT_DIR]')")
# The debug log: only where there is none (NeverOverwrite, 128), never removed
# (Permanent, 16), so an upgrade or uninstall keeps every entry; 64-bit (256).
list(APPEND queries
  "UPDATE `Component` SET `Attributes` = 400 WHERE `Component` = 'DebugLog'"
  "CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, \
`LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, \
`Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)"
  # The folder of the installed product in its Apps & features entry (InstallLocation).
  "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) \
VALUES ('SetArpInstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')"
  "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) \
VALUES ('SetArpInstallLocation', 1001)")
# Each program's own version and language in the File table, so that Windows Installer's
# file-versioning rules apply to it; the checksum is for unversioned files only.
foreach(path IN LISTS versioned_files)
  sa_pe_file_version(file_version ${CPACK_TEMPORARY_DIRECTORY}/${path})
  get_filename_component(name ${path} NAME)
  list(APPEND queries
    "UPDATE `File` SET `Version` = '${file_version}', `Language` = '1033' WHERE `File` = '${name}'"
    "DELETE FROM `MsiFileHash` WHERE `File_` = '${name}'")
endforeach()
foreach(sequence InstallExecuteSequence InstallUISequence)
  list(APPEND queries
    "INSERT INTO `${sequence}` (`Action`, `Condition`, `Sequence`) \
VALUES ('SetDefaultInstallDir', 'NOT INSTALLDIR AND NOT Installed', 40)"
    "INSERT INTO `${sequence}` (`Action`, `Sequence`) VALUES ('AppSearch', 50)"
    "INSERT INTO `${sequence}` (`Action`, `Condition`, `Sequence`) \
VALUES ('SetInstalledDir', 'Installed AND INSTALLED_AGENT_DIR', 60)")
endforeach()
set(arguments)
foreach(query IN LISTS queries)
  list(APPEND arguments -q "${query}")
endforeach()
execute_process(COMMAND ${CPACK_SA_MSIBUILD} ${msi} ${arguments}
  -s SchedulerAgent "${CPACK_PACKAGE_VENDOR}" "x64;1033" {${package_code}}
  COMMAND_ERROR_IS_FATAL ANY)
# The properties a managed (Group Policy, Intune) install passes on; a separate call, as
# the value's semicolons would split a CMake list.
execute_process(COMMAND ${CPACK_SA_MSIBUILD} ${msi} -q
  "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;\
INSTALLDIR;DEBUGLOG;MKLOG_FOUND;MKLOG_OURS;INSTALLED_AGENT_DIR' \
WHERE `Property` = 'SecureCustomProperties'"
  COMMAND_ERROR_IS_FATAL ANY)

# Interactive users (IU) read and write the debug log, so that the agent in every session
# can append to it under Program Files; everyone else keeps what the folder gives them,
# spelled out: SYSTEM and Administrators full control, Users read. Nothing else in the
# folder is opened up. A separate call, for the SDDL's semicolons.
execute_process(COMMAND ${CPACK_SA_MSIBUILD} ${msi} -q
  "INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) \
VALUES ('DebugLogWritable', 'Debugg.log', 'File', \
'D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)(A;;FRFW;;;IU)')"
  COMMAND_ERROR_IS_FATAL ANY)

set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
