# SPDX-License-Identifier: GPL-2.0-or-later
# Installing and packaging: the two programs, their manual pages, the
# README and the map editor configuration, laid out by GNUInstallDirs; `cpack -G DEB` in the build folder
# makes a Debian package of the same files, its dependencies computed from
# the binaries by dpkg-shlibdeps.
include(GNUInstallDirs)

set(VORTANE_MAINTAINER "vortane <maintainers@users.noreply.c-seed-fbd5cf99.example>")

# The manual pages carry the version: they are written into the build
# folder from man/*.1.in and installed gzipped, as man reads them and
# Debian expects them; so is the changelog. gzip -n leaves the time stamp
# out, so that the same sources give the same package.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VORTANE_GZIPPED)
function(add_gzipped source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  set(VORTANE_GZIPPED ${VORTANE_GZIPPED} ${output} PARENT_SCOPE)
endfunction()
foreach(page vortane vortane-check)
  configure_file(${CMAKE_SOURCE_DIR}/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_gzipped(${CMAKE_BINARY_DIR}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_gzipped(${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(gzipped_documents ALL DEPENDS ${VORTANE_GZIPPED})

install(TARGETS vortane vortane-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/man/vortane.1.gz ${CMAKE_BINARY_DIR}/man/vortane-check.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The Ultimate Doom Builder configuration, for users to copy into UDB.
install(FILES ${CMAKE_SOURCE_DIR}/editors/vortane.cfg DESTINATION ${CMAKE_INSTALL_DATADIR}/vortane)
# copyright is in Debian's machine-readable form; COPYING is the licence.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
              ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME vortane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORTANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "node builder and node checker for Doom-engine levels")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "vortane rebuilds the BSP (SEGS, SSECTORS, NODES), BLOCKMAP and VERTEXES of
one level of a PWAD for DOOM, HERETIC, HEXEN or STRIFE and writes a new PWAD
with every other lump copied unchanged. It runs full-screen in a terminal,
or silently with a log file for map editors.
.
vortane-check reads any WAD, IWADs included, and reports whether the nodes
and blockmap of its levels are sound, whichever program built them.")
include(CPack)
