# Run by `cmake --install` (and so by CPack) for one manual page: the pages name the installed
# bundled scene, whose folder is only known once the prefix is, since `cmake --install --prefix`
# may change it after configuring. Writes the page for the prefix being installed, compresses it
# as Debian requires (-n: no name or time stamp, so the same sources give the same bytes) and
# installs it.
#
# Expects: KALV_PAGE_SOURCE (the .in file), KALV_PAGE_OUT (the page to write in the build folder),
# KALV_PAGE_SECTION, KALV_DATADIR and KALV_MANDIR (as GNUInstallDirs gives them, relative to the
# prefix or absolute), KALV_GZIP, PROJECT_VERSION; CMAKE_INSTALL_PREFIX is the install's own.
foreach(dir DATADIR MANDIR)
  if(IS_ABSOLUTE "${KALV_${dir}}")
    set(KALV_FULL_${dir} "${KALV_${dir}}")
  else()
    set(KALV_FULL_${dir} "${CMAKE_INSTALL_PREFIX}/${KALV_${dir}}")
  endif()
endforeach()
configure_file("${KALV_PAGE_SOURCE}" "${KALV_PAGE_OUT}" @ONLY)
execute_process(COMMAND "${KALV_GZIP}" -9 -n -k -f "${KALV_PAGE_OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot compress ${KALV_PAGE_OUT}: ${status}")
endif()
file(INSTALL DESTINATION "${KALV_FULL_MANDIR}/man${KALV_PAGE_SECTION}" TYPE FILE
     FILES "${KALV_PAGE_OUT}.gz")
