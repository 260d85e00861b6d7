# Installs the library (runtime file and SONAME link in the "library"
# component, the development link in "development"), its headers and its
# pkg-config file.
install(TARGETS IxoPlatformOs
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ixo DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development)

# The pkg-config file names the prefix the tree is installed to, which is
# only known at install time (cmake --install --prefix, CPack's /usr).
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(IXO_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(IXO_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
set(IXO_PC_PREFIX "@IXO_PC_PREFIX@")
set(IXO_PC_TEMPLATE ${PROJECT_BINARY_DIR}/ixoplatformos.pc.in)
configure_file(${PROJECT_SOURCE_DIR}/cmake/ixoplatformos.pc.in ${IXO_PC_TEMPLATE} @ONLY)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(IXO_PC_DIRECTORY "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
else()
  set(IXO_PC_DIRECTORY "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
install(CODE "set(IXO_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
set(ixo_pc_file \"\$ENV{DESTDIR}${IXO_PC_DIRECTORY}/ixoplatformos.pc\")
message(STATUS \"Installing: \${ixo_pc_file}\")
configure_file(\"${IXO_PC_TEMPLATE}\" \"\${ixo_pc_file}\" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"${IXO_PC_DIRECTORY}/ixoplatformos.pc\")"
  COMPONENT development)
