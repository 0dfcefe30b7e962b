# `cpack -G DEB` in the build folder makes marlin-viewer_<version>_<arch>.deb
# of everything `cmake --install` puts in place.

# A builder who publishes the package gives an address that is read.
set(MARLIN_PACKAGE_MAINTAINER "Marlin Viewer maintainers <maintainers@marlinviewer.invalid>"
    CACHE STRING "The Debian package's Maintainer field")

# dpkg-shlibdeps finds the libraries the programs link. FFmpeg and SDL are
# loaded on first use instead, so the packages holding the copies this build
# was made against are named here; without them exports fail and sound stays
# off.
set(loaded_packages "")
get_property(loaded_libraries GLOBAL PROPERTY MARLIN_LOADED_LIBRARIES)
foreach(library ${loaded_libraries})
  file(REAL_PATH "${library}" library_file)
  execute_process(COMMAND dpkg-query --search "${library_file}"
                  OUTPUT_VARIABLE owner RESULT_VARIABLE not_found ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(not_found)
    message(WARNING "No Debian package holds ${library_file}; the package will not depend on it")
    continue()
  endif()
  # "libavcodec59:amd64: /usr/lib/x86_64-linux-gnu/libavcodec.so.59.37.100"
  string(REGEX REPLACE "[:,].*" "" package "${owner}")
  list(APPEND loaded_packages "${package}")
endforeach()
list(REMOVE_DUPLICATES loaded_packages)
list(JOIN loaded_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marlin-viewer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Marlin Viewer")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player and live viewer for DVR recordings")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Plays, cuts and exports the recordings of small 4, 9 and 16 channel digital video recorders (.QKV files, or "
    "the recorder's hard disk attached to the computer), and shows a recorder's live cameras over the network. "
    "marlin-viewer is the desktop app; marlin does the same from the command line and scripts.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MARLIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The labels are drawn in DejaVu Sans, else in a bitmap font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)
# The build keeps its debugging symbols; the package does not need them.
set(CPACK_STRIP_FILES ON)
include(CPack)
