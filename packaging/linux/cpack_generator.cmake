# Read by CPack once per generator: the RPMs leave out what only Debian asks for.
if(CPACK_GENERATOR STREQUAL "RPM")
  list(REMOVE_ITEM CPACK_COMPONENTS_ALL AgentSessionDebian IdleServiceDebian)
endif()
