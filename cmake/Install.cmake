# Installation: the two programs, the bundled data, the desktop integration (entry, icon,
# MIME types), man pages and bash completion; then the Debian package built by cpack.
include(GNUInstallDirs)

set(ORVEX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/orvex)

# The programs find the bundled data relative to themselves, so an installed tree can be
# moved (DESTDIR, another prefix) and a build tree still reads the sources' data/.
file(RELATIVE_PATH ORVEX_DATA_FROM_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/orvex")
set_property(SOURCE platform/FilePaths.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  ORVEX_DATA_FROM_PROGRAM="${ORVEX_DATA_FROM_PROGRAM}"
  ORVEX_BUILD_DIR="${CMAKE_BINARY_DIR}"
  ORVEX_SOURCE_DATA_DIR="${CMAKE_SOURCE_DIR}/data")

# No COMPONENT names: every install rule, a plug-in's too, goes into the one package.
install(TARGETS orvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orvex-editor)
  install(TARGETS orvex-editor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES data/world.lyr data/cities.lyr data/earth.bmp DESTINATION ${ORVEX_INSTALL_DATADIR})

install(FILES desktop/orvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/orvex.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES desktop/orvex.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES man/orvex.1 man/orvex-editor.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES completion/orvex DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The sources and licences of the bundled data (the earth picture is GPL-2+).
set(ORVEX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/orvex)
install(FILES README.md DESTINATION ${ORVEX_INSTALL_DOCDIR})
install(FILES data/README.md DESTINATION ${ORVEX_INSTALL_DOCDIR} RENAME bundled-data.md)

# cpack -G DEB: orvex_<version>_<arch>.deb. Its dependencies are the Debian packages of the
# libraries the programs link (dpkg-shlibdeps), plus the fonts maps are drawn with: without
# one, titles vanish from every picture the tool renders.
set(CPACK_PACKAGE_NAME orvex)
set(CPACK_PACKAGE_VENDOR "Orvex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop editor and command-line tool for vector map data")
# cpack puts the summary in front of this.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvex shows layers of vector map data on a rotating globe or on flat
projections, edits layers, objects and styles, and saves layer files and
profiles. It imports shapefiles, MapInfo MIF/MID and ArcInfo E00 files.
The orvex command-line tool imports, summarises and renders the same data
to PNG, JPEG or PDF without a window. A world map, its cities and a
picture of the earth are included.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvex maintainers <maintainers@users.noreply.c-seed-b4edb0e1.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core")
# Qt runs on Wayland natively with it, else through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
