# Debian packages, one per install component (cpack -G DEB in the build
# directory): libixoplatformos1 (the library), libixoplatformos-dev (headers,
# development link, pkg-config file) and, in a full build, ixoagent. A 32-bit
# build (-m32) makes i386 packages, any other amd64.
set(IXO_PACKAGE_MAINTAINER "Ixo platform developers <platform-dev@ixo.example>"
    CACHE STRING "Maintainer field of the Debian packages")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(IXO_DEBIAN_ARCHITECTURE i386)
else()
  set(IXO_DEBIAN_ARCHITECTURE amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ixoplatformos)
set(CPACK_PACKAGE_VENDOR Ixo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The install runs with the packages' prefix under a staging DESTDIR, so that
# what the install writes itself (the pkg-config file) names /usr.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${IXO_DEBIAN_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${IXO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

if(IXO_LIBRARY_ONLY)
  set(CPACK_COMPONENTS_ALL library development)
else()
  set(CPACK_COMPONENTS_ALL library development agent)
endif()

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libixoplatformos1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
    "platform layer of the thin-client management agent
The management agent of Linux thin clients loads this library for all that
depends on the device's OS image and hardware: the management commands, the
write filter and user lockout, the registry-backed settings, inventory and
network configuration, the network controller's EEPROM and SMBIOS.
The library leaves the agent services undefined: the program that loads it
defines and exports them.")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libixoplatformos-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "platform layer of the thin-client management agent (development files)
The C headers of libIxoPlatformOs, its development link and its pkg-config
file (ixoplatformos). A program that loads the library must define and export
the agent services declared in ixo/agent.h.")

set(CPACK_DEBIAN_AGENT_PACKAGE_NAME ixoagent)
set(CPACK_DEBIAN_AGENT_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_AGENT_DESCRIPTION
    "development agent for the thin-client platform layer
ixoAgent loads libIxoPlatformOs as the device's management agent does and
runs its commands and services on a simulated thin client (built from the
host's static busybox), or on a thin client itself.")
# The simulated device's userland is the host's static busybox.
set(CPACK_DEBIAN_AGENT_PACKAGE_DEPENDS "busybox-static")

# The runtime dependencies: dpkg-shlibdeps for the native build; a 32-bit
# build on a 64-bit host links the multilib runtimes, which name no i386
# package, so those are given here.
if(IXO_DEBIAN_ARCHITECTURE STREQUAL "i386")
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 5.2)")
  string(APPEND CPACK_DEBIAN_AGENT_PACKAGE_DEPENDS
         ", libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11), libxml2 (>= 2.7.4), libcurl4 (>= 7.16.2)")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
cpack_add_component(library DISPLAY_NAME "libIxoPlatformOs")
cpack_add_component(development DISPLAY_NAME "libIxoPlatformOs development files" DEPENDS library)
if(NOT IXO_LIBRARY_ONLY)
  cpack_add_component(agent DISPLAY_NAME "ixoAgent" DEPENDS library)
endif()
