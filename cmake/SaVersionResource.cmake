# The product's identity in every program: the version resource that Windows shows on a
# file's Details page and that inventory tools and installers read.
#
#   sa_add_version_resource(TARGET "File description" [ICON file.ico])
#
# gives TARGET (on Windows) a VERSIONINFO from the one version: FileVersion
# MAJOR.MINOR.BUILD.0 (the numbers Windows Installer compares), ProductVersion
# MAJOR.MINOR.BUILD, ProductName, CompanyName, LegalCopyright and the description, and
# with ICON the icon Explorer and Task Manager show. A Debug build is flagged as one.
# Elsewhere it does nothing: Linux programs carry no such resource.

set(SA_PRODUCT_NAME SchedulerAgent)
set(SA_PACKAGE_VENDOR "SchedulerAgent developers")
# The year of the commit, so that one commit always gives the same files.
string(REGEX MATCH "[0-9][0-9][0-9][0-9]" sa_copyright_year "${SA_VERSION_DATE}")
set(SA_LEGAL_COPYRIGHT "Copyright (C) ${sa_copyright_year} ${SA_PACKAGE_VENDOR}")
set(sa_version_resource_template ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows/version.rc.in)

function(sa_add_version_resource target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "ICON" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "sa_add_version_resource: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT WIN32)
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  # Resource strings double their quotes.
  string(REPLACE "\"" "\"\"" SA_RC_DESCRIPTION "${description}")
  set(SA_RC_NAME ${name})
  set(SA_RC_ICON "")
  if(arg_ICON)
    get_filename_component(icon ${arg_ICON} ABSOLUTE)
    set(SA_RC_ICON "1 ICON \"${icon}\"")
  endif()
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(SA_RC_FILE_FLAGS VS_FF_DEBUG)
  else()
    set(SA_RC_FILE_FLAGS 0)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${sa_version_resource_template} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_ICON)
    # windres's inputs are not scanned: a changed icon would not be rebuilt otherwise.
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${icon})
  endif()
endfunction()
