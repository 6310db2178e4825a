# Installing and packaging: the two programs, their manual pages and the
# README, laid out by GNUInstallDirs; `cpack -G DEB` in the build folder
# makes a Debian package of the same files, its dependencies computed from
# the binaries by dpkg-shlibdeps.
include(GNUInstallDirs)

# The manual pages carry the version: they are written into the build
# folder from man/*.1.in.
foreach(page vortane vortane-check)
  configure_file(${CMAKE_SOURCE_DIR}/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
endforeach()

install(TARGETS vortane vortane-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/man/vortane.1 ${CMAKE_BINARY_DIR}/man/vortane-check.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME vortane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "vortane maintainers <maintainers@vortane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "node builder and node checker for Doom-engine levels")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
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
