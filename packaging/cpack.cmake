# CPack: kalvorant_<version>_amd64.deb on Linux, kalvorant-<version>-win64.zip or -win32.zip from
# the mingw-w64 builds. Run `cpack` in the build folder after building; scripts/package.sh makes
# all three.
set(CPACK_PACKAGE_NAME kalvorant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Kalvorant developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spinning 3D Studio scenes drawn by a software renderer")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME kalvorant-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME kalvorant-${PROJECT_VERSION}-win32)
  endif()
  # The zip unpacks into one folder of that name.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KALV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No homepage is known yet, so the package names none.
set(CPACK_PACKAGE_DESCRIPTION
    "Kalvorant loads a 3D Studio (.3ds) scene and, fifty times a second, redraws\n"
    "every mesh flat-shaded and spinning into a 512x384 frame buffer with its own\n"
    "frustum clipper and fixed-point scanline filler, shown full screen. The menu\n"
    "entry starts it on the bundled scene, and a scene of the user's own can take\n"
    "its place.\n"
    "\n"
    "The package also holds kalvorant-view, a window in which to turn, zoom and\n"
    "pan any .3ds file (a double click on one opens it there), kalvorant-render,\n"
    "which saves the demo's frames as PNG pictures or an animated GIF without a\n"
    "window, and kalvorant-info, which describes what a .3ds file holds, as text\n"
    "or JSON.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
include(CPack)
