# Installation and packages. `cmake --install` lays out the programs, the
# manual pages, the samples and the README by the GNU directory conventions;
# cpack makes a Debian package of the native build and a zip of the Windows
# cross build.
include(GNUInstallDirs)

set(ZUV_DOC_DATE 2026-12-11 CACHE STRING "The date the manual pages carry")
set(ZUV_MAN_PAGES zuvdigi)
if(TARGET zuvsim)
  list(APPEND ZUV_MAN_PAGES zuvsim)
endif()

if(WIN32)
  # The zip holds the program, the samples and a short README, side by side.
  install(TARGETS zuvdigi RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/station.cfg ${PROJECT_SOURCE_DIR}/examples/filters.rules
          DESTINATION examples)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/README-windows.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME zuvdigi-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS zuvdigi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET zuvsim)
    install(TARGETS zuvsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  foreach(page IN LISTS ZUV_MAN_PAGES)
    configure_file(${PROJECT_SOURCE_DIR}/doc/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/examples/station.cfg ${PROJECT_SOURCE_DIR}/examples/filters.rules
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

set(CPACK_PACKAGE_NAME zuvdigi)
set(CPACK_PACKAGE_VENDOR "zuvdigi developers")
set(CPACK_PACKAGE_CONTACT "zuvdigi developers <zuvdigi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC host utility for the Zuvedidude APRS digipeater")
set(CPACK_PACKAGE_DESCRIPTION
    "zuvdigi reads the Zuvedidude's configuration and filtering rules from text files, checks them, connects to the device over a serial port, downloads them, updates the device firmware from an Intel HEX file and tests the link. zuvsim, the device emulator, is included.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
include(CPack)
