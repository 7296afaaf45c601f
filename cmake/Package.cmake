# `make package`: a Debian package (CPack) of what `cmake --install` puts
# under /usr: the programs, their manual pages, the static libraries with
# their headers, the CMake package and varnel.pc.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "INI and configuration files to XML (varnel, dorsik) and their libraries")
set(CPACK_PACKAGE_CONTACT "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# Named rather than found by dpkg-shlibdeps, which not every build host has.
# The programs link Expat, the C++ runtime and the C library; Expat from
# 2.4.0 on, as cmake/Dependencies.cmake asks. Programs built against the
# static libraries need Expat's development files too.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libexpat1 (>= 2.4.0), libstdc++6, libgcc-s1, libc6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libexpat1-dev")
include(CPack)
