# The one version of every program and package, worked out before project().
#
# VERSION at the top of the tree holds MAJOR.MINOR. The third number counts the commits
# since VERSION last changed: the commit that sets a new MAJOR.MINOR is that release's
# first build (MAJOR.MINOR.0), and every later commit is a new, higher build of it. Every
# build of a commit has one version, and a later commit always has a higher one: Windows
# Installer compares only the first three numbers, so the count stands there.
#
# Sets SA_VERSION (MAJOR.MINOR.BUILD), SA_VERSION_MAJOR, SA_VERSION_MINOR, SA_VERSION_BUILD,
# SA_VERSION_COMMIT (short hash, or "unknown") and SA_VERSION_DATE (the commit's date,
# RFC 5322, so that one commit always gives the same packages). Outside a git checkout
# (a source archive) pass -DSA_VERSION=MAJOR.MINOR.BUILD.

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../VERSION sa_version_line LIMIT_COUNT 1)
if(NOT sa_version_line MATCHES "^([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must hold MAJOR.MINOR, not \"${sa_version_line}\"")
endif()
set(sa_major ${CMAKE_MATCH_1})
set(sa_minor ${CMAKE_MATCH_2})
get_filename_component(sa_top ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(SA_VERSION_COMMIT unknown)
set(SA_VERSION_DATE "")
find_program(SA_GIT git)
if(SA_GIT AND EXISTS ${sa_top}/.git)
  execute_process(COMMAND ${SA_GIT} log -1 --format=%H -- VERSION WORKING_DIRECTORY ${sa_top}
    OUTPUT_VARIABLE sa_version_commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE sa_git_failed)
  if(NOT sa_git_failed AND sa_version_commit)
    execute_process(COMMAND ${SA_GIT} rev-list --count ${sa_version_commit}..HEAD
      WORKING_DIRECTORY ${sa_top} OUTPUT_VARIABLE sa_build OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${SA_GIT} log -1 --format=%h%n%cD HEAD WORKING_DIRECTORY ${sa_top}
      OUTPUT_VARIABLE sa_head OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" sa_head "${sa_head}")
    list(GET sa_head 0 SA_VERSION_COMMIT)
    list(GET sa_head 1 SA_VERSION_DATE)
    # A shallow clone lacks the history to count: its number is too low, fine for a test
    # run but not for packages that replace installed ones.
    execute_process(COMMAND ${SA_GIT} rev-parse --is-shallow-repository WORKING_DIRECTORY ${sa_top}
      OUTPUT_VARIABLE sa_shallow OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(sa_shallow STREQUAL "true" AND NOT SA_VERSION)
      message(WARNING "A shallow clone cannot count its build number: packages of this build "
        "would not upgrade older ones. Fetch the history (git fetch --unshallow) or pass "
        "-DSA_VERSION=MAJOR.MINOR.BUILD.")
    endif()
  endif()
  # Reconfigure when HEAD moves (HEAD's log grows with every commit, checkout and merge),
  # so the number never goes stale.
  execute_process(COMMAND ${SA_GIT} rev-parse --path-format=absolute --git-path logs/HEAD
    WORKING_DIRECTORY ${sa_top} OUTPUT_VARIABLE sa_head_log OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(EXISTS "${sa_head_log}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sa_head_log})
  endif()
endif()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sa_top}/VERSION)
if(SA_VERSION)
  if(NOT SA_VERSION MATCHES "^${sa_major}\\.${sa_minor}\\.([0-9]+)$")
    message(FATAL_ERROR "SA_VERSION ${SA_VERSION} is not ${sa_major}.${sa_minor}.BUILD (VERSION)")
  endif()
  set(sa_build ${CMAKE_MATCH_1})
elseif(NOT DEFINED sa_build OR sa_build STREQUAL "")
  message(FATAL_ERROR "Not a git checkout: pass -DSA_VERSION=${sa_major}.${sa_minor}.BUILD")
endif()
if(sa_build GREATER 65535)
  message(FATAL_ERROR "Build number ${sa_build} exceeds what Windows versions hold (65535)")
endif()
if(SA_VERSION_DATE STREQUAL "")
  # Fixed, so that a source archive's packages are the same on every build.
  set(SA_VERSION_DATE "Thu, 10 Dec 2026 12:00:00 +0000")
endif()

set(SA_VERSION_MAJOR ${sa_major})
set(SA_VERSION_MINOR ${sa_minor})
set(SA_VERSION_BUILD ${sa_build})
set(SA_VERSION ${sa_major}.${sa_minor}.${sa_build})
