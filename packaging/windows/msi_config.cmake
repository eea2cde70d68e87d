# The Windows installer: configures its WiX source for this build and hands CPack's
# External generator the script that builds it (msi_package.cmake).

find_program(SA_WIXL wixl REQUIRED)
find_program(SA_MSIBUILD msibuild REQUIRED)

# Fixed for the life of the product: every version finds its predecessors by it.
set(SA_MSI_UPGRADE_CODE 09729736-CD8C-474A-B2AC-D5690610C7A6)

# A component's GUID from its key path, the same in every version.
function(sa_msi_component_guid out key_path)
  string(UUID guid NAMESPACE ${SA_MSI_UPGRADE_CODE} NAME "component ${key_path}" TYPE SHA1 UPPER)
  set(${out} "{${guid}}" PARENT_SCOPE)
endfunction()

# Apps & features: links and the icon a fleet's own build may set (-D).
set(SA_MSI_HELP_LINK "https://example.org/scheduler-agent/help" CACHE STRING
  "Support link in Apps & features (ARPHELPLINK); empty for none")
set(SA_MSI_ABOUT_LINK "https://example.org/scheduler-agent" CACHE STRING
  "Publisher's link in Apps & features (ARPURLINFOABOUT); empty for none")
set(SA_MSI_ICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/SchedulerAgent.ico CACHE FILEPATH
  "Icon of the product in Apps & features (ARPPRODUCTICON)")

# Text for an XML attribute value.
function(sa_xml_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(SA_MSI_ARP_PROPERTIES "")
foreach(pair "ARPHELPLINK=${SA_MSI_HELP_LINK}" "ARPURLINFOABOUT=${SA_MSI_ABOUT_LINK}"
    "ARPCONTACT=${SA_PACKAGE_CONTACT}")
  string(FIND "${pair}" "=" at)
  string(SUBSTRING "${pair}" 0 ${at} name)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${pair}" ${at} -1 value)
  if(NOT value STREQUAL "")
    sa_xml_escape(value "${value}")
    string(APPEND SA_MSI_ARP_PROPERTIES "    <Property Id=\"${name}\" Value=\"${value}\"/>\n")
  endif()
endforeach()

# The programs of the Agent feature, one component each; the first is the agent, whose
# component the installer looks up to find an installed product's folder.
set(SA_MSI_PROGRAM_COMPONENTS "")
set(SA_MSI_PROGRAM_REFS "")
foreach(program IN LISTS SA_AGENT_PROGRAMS)
  get_target_property(name ${program} OUTPUT_NAME)
  if(NOT name)
    set(name ${program})
  endif()
  string(MAKE_C_IDENTIFIER ${name} id)
  sa_msi_component_guid(guid "${name}.exe")
  if(program STREQUAL "SchedulerAgent")
    set(SA_MSI_GUID_AGENT ${guid})
  endif()
  string(APPEND SA_MSI_PROGRAM_COMPONENTS "\
          <Component Id=\"Program_${id}\" Guid=\"${guid}\" Win64=\"yes\">
            <File Id=\"${name}.exe\" Name=\"${name}.exe\" Source=\"Agent/${name}.exe\" KeyPath=\"yes\"/>
          </Component>
")
  string(APPEND SA_MSI_PROGRAM_REFS "      <ComponentRef Id=\"Program_${id}\"/>\n")
endforeach()
if(NOT SA_MSI_GUID_AGENT)
  message(FATAL_ERROR "SA_AGENT_PROGRAMS must hold SchedulerAgent")
endif()

sa_msi_component_guid(SA_MSI_GUID_RUN "HKLM/Software/Microsoft/Windows/CurrentVersion/Run/SchedulerAgent")
sa_msi_component_guid(SA_MSI_GUID_MKLOG "MKLOG.INI")
sa_msi_component_guid(SA_MSI_GUID_SERVICE "idle_service.exe")
sa_msi_component_guid(SA_MSI_GUID_DEBUGLOG "Debugg.log")

set(SA_MSI_CATALOGUE_DIRECTORIES "")
set(SA_MSI_CATALOGUE_REFS "")
foreach(lang IN LISTS SA_LANGUAGES)
  string(MAKE_C_IDENTIFIER ${lang} id)
  set(key_path locale/${lang}/LC_MESSAGES/default.mo)
  sa_msi_component_guid(guid ${key_path})
  string(APPEND SA_MSI_CATALOGUE_DIRECTORIES "\
            <Directory Id=\"Locale_${id}\" Name=\"${lang}\">
              <Directory Id=\"Locale_${id}_Messages\" Name=\"LC_MESSAGES\">
                <Component Id=\"Catalogue_${id}\" Guid=\"${guid}\" Win64=\"yes\">
                  <File Id=\"Catalogue_${id}\" Name=\"default.mo\" KeyPath=\"yes\"
                        Source=\"Agent/${key_path}\"/>
                </Component>
              </Directory>
            </Directory>
")
  string(APPEND SA_MSI_CATALOGUE_REFS "      <ComponentRef Id=\"Catalogue_${id}\"/>\n")
endforeach()

# What DEBUGLOG=1 lays down: the debug log switched on, nothing more.
set(SA_MSI_MKLOG_INI ${CMAKE_CURRENT_BINARY_DIR}/windows/MKLOG.INI)
file(WRITE ${SA_MSI_MKLOG_INI} "[settings]\r\nDebuggLog=1\r\n")
configure_file(windows/SchedulerAgent.wxs.in windows/SchedulerAgent.wxs @ONLY)

set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/windows/msi_package.cmake)
set(CPACK_SA_WIXL ${SA_WIXL})
set(CPACK_SA_MSIBUILD ${SA_MSIBUILD})
set(CPACK_SA_MSI_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/windows/SchedulerAgent.wxs)
set(CPACK_SA_MSI_UPGRADE_CODE ${SA_MSI_UPGRADE_CODE})
set(CPACK_SA_MSI_MKLOG_GUID ${SA_MSI_GUID_MKLOG})
set(CPACK_SA_MSI_AGENT_GUID ${SA_MSI_GUID_AGENT})
set(CPACK_SA_MSI_MKLOG_INI ${SA_MSI_MKLOG_INI})
set(CPACK_SA_MSI_ICON ${SA_MSI_ICON})
