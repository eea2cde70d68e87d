# Appends the German catalogue to a copy of the test program in a folder with no
# "locale", runs the copy's embedded-catalogue test there, and checks that it ran.
# Arguments: TESTS (the test program), TOOL (mo_embed), EMULATOR (may be empty),
# CATALOGUE (the German default.mo), WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(name ${TESTS} NAME)
set(copy ${WORK}/${name})
execute_process(COMMAND ${EMULATOR} ${TOOL} -o ${copy} ${TESTS}
    locale/de/LC_MESSAGES/default.mo=${CATALOGUE}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "mo_embed failed (${code}):\n${out}${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env SA_EMBEDDED_CATALOGUE_RUN=1
    ${EMULATOR} ${copy} --gtest_filter=Translation.EmbeddedCatalogueIsFoundInTheExecutable
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT code EQUAL 0 OR NOT out MATCHES "\\[  PASSED  \\] 1 test" OR out MATCHES "SKIPPED")
  message(FATAL_ERROR "the copy with the appended catalogue did not pass (${code})")
endif()
