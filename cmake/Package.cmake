# SPDX-License-Identifier: MIT
# `make package`: two Debian packages (CPack components) of what
# `cmake --install` puts under /usr: varnel, the programs and their manual
# pages, and libvarnel-dev, the static libraries with their headers, the CMake
# package and varnel.pc. A build configured with CMAKE_INSTALL_PREFIX=/usr
# puts the libraries in the multiarch folder, as Debian wants them.
set(VARNEL_MAINTAINER "The varnel authors <authors@varnel-tools.org>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "The varnel authors")
set(CPACK_PACKAGE_CONTACT "${VARNEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARNEL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME varnel)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
# Named rather than found by dpkg-shlibdeps, which not every build host has.
# The programs link Expat (2.4.0 on, as cmake/Dependencies.cmake asks), the
# C++ runtime and the C library.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "libexpat1 (>= 2.4.0), libstdc++6, libgcc-s1, libc6")
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION
    "convert INI and configuration files to XML
varnel reads an INI file into an element tree with one element per line,
stores it as XML or in a light form without angle brackets, and writes the
tree back as INI text. dorsik converts a file of titles, properties and
comments into XML or the light form, line by line. No line of a source is
lost, and the XML opens in any XML tool.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvarnel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Programs built against the static libraries link Expat too. Its files
# were in the single package varnel before 0.2.0.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libexpat1-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_BREAKS "varnel (<< 0.2.0)")
set(CPACK_DEBIAN_DEV_PACKAGE_REPLACES "varnel (<< 0.2.0)")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "libraries and headers of the varnel converters
The runtime library holds a byte string, a dynamic value, an ordered
associative array and typed arrays, files, directories and console helpers.
The element tree library keeps an XML-like tree of elements, writes it as XML
or in a light form, loads XML through Expat, and searches and merges trees.
This package holds the static libraries, their headers, a CMake package and
a pkg-config file.")
include(CPack)
