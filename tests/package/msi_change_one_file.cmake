# Run by CPack between staging and packaging (CPACK_PRE_BUILD_SCRIPTS): one staged file
# changes, as another build of the same version would give it.
file(APPEND ${CPACK_TEMPORARY_DIRECTORY}/Agent/SchedulerAgent.exe "another build")
