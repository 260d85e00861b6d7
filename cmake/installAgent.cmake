# Installs ixoAgent and its manual page (component "agent").
install(TARGETS ixoAgent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT agent)

find_program(IXO_GZIP gzip REQUIRED)
set(IXO_MANUAL ${PROJECT_BINARY_DIR}/ixoAgent.1.gz)
add_custom_command(OUTPUT ${IXO_MANUAL}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/ixoAgent.1 ${PROJECT_BINARY_DIR}/ixoAgent.1
  COMMAND ${IXO_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/ixoAgent.1
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/ixoAgent.1
  VERBATIM)
add_custom_target(ixoAgent_manual ALL DEPENDS ${IXO_MANUAL})
install(FILES ${IXO_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT agent)
