# Installation: where the programs find the bundled data.
include(GNUInstallDirs)

set(ORVEX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/orvex)

# The programs find the bundled data relative to themselves, so an installed tree can be
# moved (DESTDIR, another prefix) and a build tree still reads the sources' data/.
file(RELATIVE_PATH ORVEX_DATA_FROM_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/orvex")
set_property(SOURCE platform/FilePaths.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  ORVEX_DATA_FROM_PROGRAM="${ORVEX_DATA_FROM_PROGRAM}"
  ORVEX_BUILD_DIR="${CMAKE_BINARY_DIR}"
  ORVEX_SOURCE_DATA_DIR="${CMAKE_SOURCE_DIR}/data")
