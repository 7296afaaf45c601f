# SPDX-License-Identifier: MIT
# `cmake --install`: the two programs, the two static libraries with their
# headers under include/varnel (so that "runtime/text.h" and "tree/dom.h"
# resolve as in the source tree), a CMake package (find_package(varnel),
# imported targets varnel::runtime and varnel::tree), a pkg-config file and
# the manual pages; and beside them, in share/doc, the copyright and the
# changelog. The component "programs" holds what the package varnel carries,
# "dev" what libvarnel-dev carries (cmake/Package.cmake).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARNEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/varnel)
set(VARNEL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/varnel)

set_target_properties(varnel_runtime PROPERTIES EXPORT_NAME runtime)
# The header file set names this folder too, but only to CMake 3.23 or newer.
target_include_directories(varnel_runtime PUBLIC $<INSTALL_INTERFACE:${VARNEL_INCLUDE_DIR}>)
set_target_properties(varnel_tree PROPERTIES EXPORT_NAME tree)

install(TARGETS dorsik varnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
install(TARGETS varnel_runtime varnel_tree EXPORT varnelTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        FILE_SET HEADERS DESTINATION ${VARNEL_INCLUDE_DIR} COMPONENT dev)
install(EXPORT varnelTargets NAMESPACE varnel:: DESTINATION ${VARNEL_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(cmake/varnelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/varnelConfig.cmake INSTALL_DESTINATION ${VARNEL_CMAKE_DIR})
# Before 1.0 a minor release may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/varnelConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/varnelConfigVersion.cmake
        DESTINATION ${VARNEL_CMAKE_DIR} COMPONENT dev)

# The .pc file finds the prefix from its own place, so it stays right under
# `cmake --install --prefix` and when the tree is moved.
file(RELATIVE_PATH VARNEL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VARNEL_PC_TO_PREFIX "${VARNEL_PC_TO_PREFIX}")
configure_file(cmake/varnel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/varnel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# The manual pages carry the version, filled in here, and are installed
# compressed, without a name or time in the gzip header, so that two builds
# give the same bytes.
find_program(GZIP gzip REQUIRED)
set(VARNEL_MAILBOX "The varnel authors <authors@varnel-tools.org>")
foreach(page varnel.1 dorsik.1)
  configure_file(man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz
    COMMAND ${GZIP} -9n -c ${CMAKE_CURRENT_BINARY_DIR}/man/${page} > ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page} VERBATIM)
  list(APPEND varnel_docs ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/varnel.1.gz ${CMAKE_CURRENT_BINARY_DIR}/man/dorsik.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)

# The copyright in the machine-readable Debian format, its licence text the
# LICENSE file's (indented, blank lines as " ."), and the changelog in the
# Debian format, made from CHANGELOG.md.
file(READ LICENSE license_text)
string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" license_text "${license_text}")  # title, copyright
string(STRIP "${license_text}" license_text)
string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text " ${license_text}")
configure_file(cmake/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/doc/copyright @ONLY)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/debian-changelog
          ${PROJECT_SOURCE_DIR}/CHANGELOG.md varnel ${VARNEL_MAILBOX} > ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
  COMMAND ${GZIP} -9n -f ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/scripts/debian-changelog VERBATIM)
list(APPEND varnel_docs ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
add_custom_target(varnel_docs ALL DEPENDS ${varnel_docs})
foreach(component programs dev)
  if(component STREQUAL programs)
    set(package varnel)
  else()
    set(package libvarnel-dev)
  endif()
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/copyright ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()
