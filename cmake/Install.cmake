# Installing, packaging and the files that go with an installed termlink:
# versioned library, public headers, portmux and its plug-ins, programs,
# manual pages, bash completion, a CMake package and a pkg-config file, and
# the Debian package built with CPack (`./run package`).
#
# Targets are picked up by name when they exist and headers by folder, so new
# headers, tools or libraries need no change here (or one word in a list).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# portmux looks for its plug-ins in "portmux" beside its own file (see
# portmux/client/portmux.cpp), so this folder is fixed relative to libdir.
set(TL_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/portmux)
set(TL_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/termlink)
set(TL_PORTMUX_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/portmux)

# libtermlink carries a versioned SONAME (libtermlink.so.MAJOR). libportmux
# keeps the plain SONAME libportmux.so: its binary interface fixes that file
# name so that another build can replace it through the library search path.
# Installed files carry no run path at all (the build tree keeps $ORIGIN).
# (Windows keeps the plain DLL name hosts load.)
if(NOT WIN32)
  set_target_properties(termlink PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
set_target_properties(termlink PROPERTIES INSTALL_RPATH "")

install(TARGETS termlink portmux
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(TARGETS tcpwire netwire serwire usbwire
  LIBRARY DESTINATION ${TL_PLUGIN_INSTALL_DIR} COMPONENT runtime
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
# termlink loads archlib by its bare file name at run time, so it goes on the
# library search path unversioned.
if(TARGET archlib)
  install(TARGETS archlib
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

# Programs: the termlink tool, the simulated terminal and QVUpdate.
foreach(program termlink_tool termsim termlink_sync qvupdate qvpack)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()

# Public headers: termlink.h and every header under termlink/; portmux's
# interface in a folder of its own (its names are not termlink's).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/termlink/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_SOURCE_DIR}/portmux/include/portmux.h
              ${CMAKE_SOURCE_DIR}/portmux/include/portmux_errors.h
  DESTINATION ${TL_PORTMUX_INCLUDE_DIR} COMPONENT development)

# The Windows build ships DLLs and programs that users copy: no CMake package,
# pkg-config file, manual pages or Debian package there.
if(WIN32)
  return()
endif()

# CMake package: find_package(termlink CONFIG) gives termlink::termlink and
# termlink::portmux. The file is relocatable (paths relative to itself).
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/install/termlinkConfig.cmake.in
  ${CMAKE_BINARY_DIR}/install/termlinkConfig.cmake.pre
  INSTALL_DESTINATION ${TL_CMAKE_INSTALL_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR TL_PORTMUX_INCLUDE_DIR)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/install/termlinkConfig.cmake
  INPUT ${CMAKE_BINARY_DIR}/install/termlinkConfig.cmake.pre)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/install/termlinkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/install/termlinkConfig.cmake
              ${CMAKE_BINARY_DIR}/install/termlinkConfigVersion.cmake
  DESTINATION ${TL_CMAKE_INSTALL_DIR} COMPONENT development)

# pkg-config: relocatable too (${pcfiledir}), so a staged DESTDIR tree works.
set(TL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TL_PC_TO_PREFIX /${TL_PC_DIR} /)
string(REGEX REPLACE "/$" "" TL_PC_TO_PREFIX "${TL_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/install/termlink.pc.in
  ${CMAKE_BINARY_DIR}/install/termlink.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/termlink.pc
  DESTINATION ${TL_PC_DIR} COMPONENT development)

# Bash completion for the programs (read from their --help). One file serves
# them all; bash-completion looks a completion up by the command's name, so
# it is installed under each name.
foreach(program termlink termlink-sync termsim qvupdate qvpack)
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/install/termlink.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME ${program} COMPONENT tools)
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/Man.cmake)

# termlink-sync as a system service: its systemd unit, and its settings and
# fleet file in /etc/termlink-sync (the settings readable by root and the
# service's group only: they may hold the database password). With a prefix
# that ends in /usr the settings go to the etc beside it (/usr: /etc, as
# GNUInstallDirs places them; CPack's staging folder STAGE/usr: STAGE/etc,
# the package's /etc), else to PREFIX/etc. Decided when installing, since
# CPack and `cmake --install --prefix` bring their own prefix.
if(TARGET termlink_sync)
  set(TL_SYNC_DEBIAN_DIR ${CMAKE_SOURCE_DIR}/tools/sync/debian)
  install(FILES ${TL_SYNC_DEBIAN_DIR}/termlink-sync.service
    DESTINATION lib/systemd/system COMPONENT tools)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"^(.*)/usr/?$\")
      set(tlsync_etc \"\${CMAKE_MATCH_1}/etc/termlink-sync\")
    else()
      set(tlsync_etc \"\${CMAKE_INSTALL_PREFIX}/etc/termlink-sync\")
    endif()
    file(INSTALL \"${TL_SYNC_DEBIAN_DIR}/fleet\" DESTINATION \"\${tlsync_etc}\")
    file(INSTALL \"${TL_SYNC_DEBIAN_DIR}/termlink-sync.conf\" DESTINATION \"\${tlsync_etc}\"
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
  " COMPONENT tools)
endif()

# ---- Debian package ---------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME termlink)
set(CPACK_PACKAGE_VENDOR "termlink")
set(CPACK_PACKAGE_CONTACT "termlink maintainers <termlink@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "host library and tools for fingerprint time-attendance terminals")
set(CPACK_PACKAGE_DESCRIPTION
  "libtermlink talks to stand-alone fingerprint time-attendance and access-control terminals through libportmux and its transport plug-ins. The package holds the libraries, headers, the CMake and pkg-config files, the termlink command-line tool, the termlink-sync fleet sync, the termsim simulated terminal, the qvupdate and qvpack update-pack tools and their manual pages.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# The completion works in a plain bash; with bash-completion it loads by itself.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
if(TARGET termlink_sync)
  # The sync service's user (adduser), its settings kept as conffiles, and
  # the maintainer scripts (which also run ldconfig, as CPack's own would).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${TL_SYNC_DEBIAN_DIR}/conffiles ${TL_SYNC_DEBIAN_DIR}/postinst
    ${TL_SYNC_DEBIAN_DIR}/prerm ${TL_SYNC_DEBIAN_DIR}/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
endif()
include(CPack)
