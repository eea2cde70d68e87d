# The build's helpers, defined once before any folder uses them: the per-system choice of
# sources, the string table and the shipped catalogues of a program, GoogleTest found and
# its test programs registered, and helper programs placed beside the tests that run them.
include_guard(GLOBAL)

# Keeps the sources that belong to this system: a name that ends in _posix or _win32
# (before _test or _e2e_test, if any) is built on that system only.
function(sa_system_sources out)
  if(WIN32)
    set(other posix)
  else()
    set(other win32)
  endif()
  set(kept "")
  foreach(source IN LISTS ARGN)
    if(NOT source MATCHES "_${other}(_e2e)?(_test)?\\.(c|cpp)$")
      list(APPEND kept ${source})
    endif()
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# The string table is a resource of each executable on Windows: a resource object in
# a static library would never be linked in. On Linux the platform's table carries it.
function(sa_add_string_table target)
  if(WIN32)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/text/StringTable.rc)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/text/StringTable.rc APPEND PROPERTY
      INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR})
    # windres's includes are not scanned: without this a changed table is not rebuilt.
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/text/StringTable.rc APPEND PROPERTY
      OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/text/StringTable.def)
  endif()
endfunction()

# Places the shipped catalogues (po/) as locale/<lang>/LC_MESSAGES/default.mo beside the
# target's executable, for programs that run from their own build folder.
function(sa_add_catalogues target)
  add_dependencies(${target} sa_catalogues)
  foreach(lang IN LISTS SA_LANGUAGES)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory
        $<TARGET_FILE_DIR:${target}>/locale/${lang}/LC_MESSAGES
      COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${SA_CATALOGUE_DIR}/${lang}/LC_MESSAGES/default.mo
        $<TARGET_FILE_DIR:${target}>/locale/${lang}/LC_MESSAGES/default.mo
      VERBATIM)
  endforeach()
endfunction()

# GoogleTest: the system's package natively. The cross build makes its own from the
# packaged sources, searched for under the usual prefixes (src/googletest);
# SA_GOOGLETEST_SOURCE_DIR names another folder.
macro(sa_find_googletest)
  include(GoogleTest)
  if(CMAKE_CROSSCOMPILING)
    find_path(SA_GOOGLETEST_SOURCE_DIR NAMES googletest/include/gtest/gtest.h
      PATH_SUFFIXES src/googletest NO_CMAKE_FIND_ROOT_PATH
      DOC "GoogleTest's sources, for the cross build")
    if(NOT SA_GOOGLETEST_SOURCE_DIR)
      message(FATAL_ERROR "GoogleTest's sources not found (Debian: googletest); "
        "scripts/deps.sh installs them, or set SA_GOOGLETEST_SOURCE_DIR")
    endif()
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${SA_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# sa_add_gtest(<target> <source>... [LIBRARIES <library>...] [PROPERTIES <property> <value>...]
#              [DISCOVERY <option>...])
# A test program of GoogleTest cases with the string table, each case registered with
# CTest as one test. Sources are chosen per system as by sa_system_sources. PROPERTIES
# go to every case (TIMEOUT is 240 s unless given); DISCOVERY passes further options to
# gtest_discover_tests.
function(sa_add_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LIBRARIES;PROPERTIES;DISCOVERY")
  sa_system_sources(sources ${arg_UNPARSED_ARGUMENTS})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${arg_LIBRARIES} GTest::gtest GTest::gtest_main)
  sa_add_string_table(${target})
  set(properties ${arg_PROPERTIES})
  if(NOT "TIMEOUT" IN_LIST properties)
    list(PREPEND properties TIMEOUT 240)
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${arg_DISCOVERY}
    PROPERTIES ${properties})
endfunction()

# sa_place_beside(<test> <program>...): the programs are built before the test and copied
# beside its executable after each build of it, where the test runs them from.
function(sa_place_beside test)
  add_dependencies(${test} ${ARGN})
  set(files "")
  foreach(program IN LISTS ARGN)
    list(APPEND files $<TARGET_FILE:${program}>)
  endforeach()
  add_custom_command(TARGET ${test} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} $<TARGET_FILE_DIR:${test}>
    VERBATIM)
endfunction()
