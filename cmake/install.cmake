# Installation (cmake --install build [--prefix PREFIX]) and the Debian
# package (cpack -G DEB in the build folder). An installed Zorbel finds its
# "Language" folder, with the help page, in share/zorbel beside its bin
# folder (ProgramPaths in app/shell); the libraries lie in the library folder
# that the programs' run path names.
set(ZORBEL_APP_ID org.zorbel.Zorbel)

set(zorbel_installed QRVHardDll QMKHardDll QRVLanguageDll)
foreach(program Zorbel zorbel-cli zorbel-gensim zorbel-scopesim)
  if(TARGET ${program})
    list(APPEND zorbel_installed ${program})
  endif()
endforeach()
install(TARGETS ${zorbel_installed}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

install(FILES "${PROJECT_SOURCE_DIR}/resources/help/QDN Source-English.html"
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zorbel/Language)
# udev reads rules below /usr/lib (and /etc), not below /usr/local: with
# another prefix the README says to copy the rule to /etc/udev/rules.d.
install(FILES ${PROJECT_SOURCE_DIR}/resources/udev/70-zorbel.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${ZORBEL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${ZORBEL_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${ZORBEL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorbel)

set(CPACK_PACKAGE_NAME zorbel)
set(CPACK_PACKAGE_VENDOR "Zorbel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control software for a two-channel DDS signal generator")
set(CPACK_PACKAGE_DESCRIPTION
    "Zorbel sets up both outputs of a two-channel DDS signal generator over USB or the network, "
    "draws, loads, imports and downloads arbitrary waveforms and saves complete setups. "
    "The package holds the program, zorbel-cli for scripts, the instrument libraries and "
    "simulators of the generator and the oscilloscope to try it without an instrument.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zorbel developers <zorbel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Depends from the libraries the binaries link (dpkg-shlibdeps); the
# package's own libraries are found beside them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_GENERATOR DEB)
include(CPack)
