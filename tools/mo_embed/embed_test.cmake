# The catalogue embedder end to end: embed into a copy of the tool, run the copy, and
# check the refusals. Arguments: TOOL, EMULATOR (may be empty), MSGFMT, PO_DIR, WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/locale/de/LC_MESSAGES ${WORK}/other)
get_filename_component(tool_name ${TOOL} NAME)
set(copy ${WORK}/${tool_name})
file(COPY_FILE ${TOOL} ${copy})
execute_process(COMMAND ${MSGFMT} -o ${WORK}/locale/de/LC_MESSAGES/default.mo ${PO_DIR}/basic.po
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSGFMT} -o ${WORK}/other/fr.mo ${PO_DIR}/french.po
  COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${WORK}/broken.mo "not a catalogue")

# Runs the tool (under the emulator when there is one); expects the exit code, and a
# pattern in the combined output.
function(run expected_code pattern)
  execute_process(COMMAND ${EMULATOR} ${ARGN} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "${ARGN}: exit ${code}, expected ${expected_code}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${pattern}")
    message(FATAL_ERROR "${ARGN}: output does not match '${pattern}':\n${out}${err}")
  endif()
endfunction()

run(2 "usage: mo_embed" ${TOOL})
run(1 "broken.mo" ${TOOL} ${copy} ${WORK}/broken.mo)
run(1 "does not lie inside" ${TOOL} ${copy} ${WORK}/../outside.mo)
run(1 "missing.mo" ${TOOL} ${copy} locale/x/LC_MESSAGES/default.mo=${WORK}/missing.mo)
file(SIZE ${copy} size_before)
file(SIZE ${TOOL} size_tool)
if(NOT size_before EQUAL size_tool)
  message(FATAL_ERROR "a refused embedding changed the executable")
endif()

run(0 "default.mo" ${TOOL} ${copy} ${WORK}/locale/de/LC_MESSAGES/default.mo
  locale/fr/LC_MESSAGES/default.mo=${WORK}/other/fr.mo)
# The copy still runs, and reads the table it carries.
run(0 "locale[/\\\\]de[/\\\\]LC_MESSAGES[/\\\\]default.mo.*locale[/\\\\]fr[/\\\\]LC_MESSAGES" ${copy} --list ${copy})
run(1 "already carries catalogues" ${TOOL} ${copy} ${WORK}/locale/de/LC_MESSAGES/default.mo)
