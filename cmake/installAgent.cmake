# Installs ixoAgent and its manual page (component "agent"). The executable
# goes to a folder of its own with the two files its test mode copies from
# beside it; a relative link in the bindir runs it from there.
install(TARGETS ixoAgent RUNTIME DESTINATION ${IXO_AGENT_DIR} COMPONENT agent)
list(TRANSFORM IXO_TEST_MODE_FILES PREPEND ${PROJECT_SOURCE_DIR}/agent/testMode/
     OUTPUT_VARIABLE IXO_TEST_MODE_SOURCES)
install(FILES ${IXO_TEST_MODE_SOURCES} DESTINATION ${IXO_AGENT_DIR} COMPONENT agent)
file(RELATIVE_PATH IXO_AGENT_LINK_TARGET /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${IXO_AGENT_DIR}/ixoAgent)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/installedLink)
file(CREATE_LINK ${IXO_AGENT_LINK_TARGET} ${PROJECT_BINARY_DIR}/installedLink/ixoAgent SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/installedLink/ixoAgent DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT agent)

find_program(IXO_GZIP gzip REQUIRED)
set(IXO_MANUAL ${PROJECT_BINARY_DIR}/ixoAgent.1.gz)
add_custom_command(OUTPUT ${IXO_MANUAL}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/ixoAgent.1 ${PROJECT_BINARY_DIR}/ixoAgent.1
  COMMAND ${IXO_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/ixoAgent.1
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/ixoAgent.1
  VERBATIM)
add_custom_target(ixoAgent_manual ALL DEPENDS ${IXO_MANUAL})
install(FILES ${IXO_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT agent)
