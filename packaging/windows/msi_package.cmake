# Run by CPack's External generator after it has staged (and stripped) the components:
# builds SchedulerAgent-<version>-x64.msi with wixl, then adds with msibuild what wixl
# cannot express. The version is CPack's, so `cpack -R X.Y.Z` stamps another one.

set(version ${CPACK_PACKAGE_VERSION})
string(UUID product_code NAMESPACE ${CPACK_SA_MSI_UPGRADE_CODE} NAME "product ${version}"
  TYPE SHA1 UPPER)
# The package code too: Windows Installer refuses a second package of an installed
# product (error 1638) instead of seeing the same release again.
string(UUID package_code NAMESPACE ${CPACK_SA_MSI_UPGRADE_CODE} NAME "package ${version}"
  TYPE SHA1 UPPER)
set(msi ${CPACK_TOPLEVEL_DIRECTORY}/SchedulerAgent-${version}-x64.msi)
file(REMOVE ${msi})

# wixl takes the files' paths relative to its working folder.
file(COPY ${CPACK_SA_MSI_MKLOG_INI} DESTINATION ${CPACK_TEMPORARY_DIRECTORY}/Installer)
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

set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
