# `cmake --install`: the two programs, the two static libraries with their
# headers under include/varnel (so that "runtime/text.h" and "tree/dom.h"
# resolve as in the source tree), a CMake package (find_package(varnel),
# imported targets varnel::runtime and varnel::tree), a pkg-config file and
# the manual pages.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARNEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/varnel)
set(VARNEL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/varnel)

set_target_properties(varnel_runtime PROPERTIES EXPORT_NAME runtime)
# The header file set names this folder too, but only to CMake 3.23 or newer.
target_include_directories(varnel_runtime PUBLIC $<INSTALL_INTERFACE:${VARNEL_INCLUDE_DIR}>)
set_target_properties(varnel_tree PROPERTIES EXPORT_NAME tree)

install(TARGETS dorsik varnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS varnel_runtime varnel_tree EXPORT varnelTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        FILE_SET HEADERS DESTINATION ${VARNEL_INCLUDE_DIR})
install(EXPORT varnelTargets NAMESPACE varnel:: DESTINATION ${VARNEL_CMAKE_DIR})

configure_package_config_file(cmake/varnelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/varnelConfig.cmake INSTALL_DESTINATION ${VARNEL_CMAKE_DIR})
# Before 1.0 a minor release may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/varnelConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/varnelConfigVersion.cmake
        DESTINATION ${VARNEL_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so it stays right under
# `cmake --install --prefix` and when the tree is moved.
file(RELATIVE_PATH VARNEL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VARNEL_PC_TO_PREFIX "${VARNEL_PC_TO_PREFIX}")
configure_file(cmake/varnel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/varnel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES man/varnel.1 man/dorsik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
