# Installation (cmake --install build [--prefix PREFIX]) and the Debian
# package (scripts/package, or cpack -G DEB in the build folder).
#
# The four libraries are private to Zorbel: they lie in lib/<multiarch>/zorbel
# (/usr/lib/x86_64-linux-gnu/zorbel in the package) and the programs reach them through their
# $ORIGIN-relative run path, so nothing of ours enters the system's library
# folder, needs an ldconfig trigger or promises a stable soname. An installed
# Zorbel finds its "Language" folder, with the help page, in share/zorbel
# beside its bin folder (ProgramPaths in app/shell).
set(ZORBEL_APP_ID org.zorbel.Zorbel)

set(zorbel_libraries QRVHardDll QMKHardDll QRVLanguageDll QRVDisplayDll)
set(zorbel_programs)
foreach(program Zorbel zorbel-cli zorbel-gensim zorbel-scopesim)
  if(TARGET ${program})
    list(APPEND zorbel_programs ${program})
  endif()
endforeach()
install(TARGETS ${zorbel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set_target_properties(${zorbel_libraries} PROPERTIES INSTALL_RPATH "")
install(TARGETS ${zorbel_libraries} LIBRARY DESTINATION ${ZORBEL_INSTALL_PRIVATE_LIBDIR})

# The language files shipped with the program (the English one is built in).
file(GLOB zorbel_language_files ${PROJECT_SOURCE_DIR}/resources/language/*.lug)
install(FILES "${PROJECT_SOURCE_DIR}/resources/help/QDN Source-English.html" ${zorbel_language_files}
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
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/zorbel-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Debian's documentation folder: the machine-readable copyright and the
# changelog, compressed as Debian wants it (gzip -9n: no name, no time).
set(ZORBEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zorbel)
set(zorbel_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${zorbel_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/packaging/changelog > ${zorbel_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/packaging/changelog
  COMMENT "Compressing the changelog")
add_custom_target(zorbel_changelog ALL DEPENDS ${zorbel_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/resources/packaging/copyright ${zorbel_changelog_gz}
  DESTINATION ${ZORBEL_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${ZORBEL_DOC_DIR})

# Manual pages, section 1, made from each program's own --help (help2man)
# and the extra sections beside it in resources/man. help2man is given a
# wrapper named like the program (cmake/man-help.sh.in).
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(zorbel_man_pages)
  foreach(program ${zorbel_programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    set(wrapper ${CMAKE_BINARY_DIR}/man/help/${program})
    set(extra ${PROJECT_SOURCE_DIR}/resources/man/${program}.h2m)
    set(PROGRAM ${program})
    set(PROGRAM_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${program})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/man-help.sh.in ${wrapper} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
              --include=${extra} --output=${page} ${wrapper}
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${extra} ${wrapper}
      COMMENT "Manual page of ${program}")
    list(APPEND zorbel_man_pages ${page}.gz)
  endforeach()
  add_custom_target(zorbel_man_pages ALL DEPENDS ${zorbel_man_pages})
  install(FILES ${zorbel_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages")
endif()

# The Debian package. The maintainer is a build setting, so that whoever
# publishes a package names themselves.
set(ZORBEL_MAINTAINER "Zorbel developers <developers@zorbel.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME zorbel)
set(CPACK_PACKAGE_VENDOR "Zorbel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZORBEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZORBEL_MAINTAINER})
# First line the synopsis, then paragraphs of lines below 80 columns.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"control software for two-channel DDS signal generators
Zorbel sets up both outputs of a two-channel DDS signal generator over USB
or the network: wave type, frequency, amplitude, offset, phase and the pulse
parameters. It draws, loads, imports and downloads arbitrary waveforms, keeps
complete setups in files and calibrates the generator against a USB
oscilloscope, in any language.
.
The package holds the graphical program, zorbel-cli and the zorbel Python
module for scripts, the instrument libraries and simulators of the generator
and the oscilloscope, so that everything can be tried without an instrument.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Stripped programs and libraries, without a debug package: CPack 3.25's
# zorbel-dbgsym lists absolute build paths in its md5sums and has no
# copyright or changelog, which lintian rightly refuses. Debug builds are
# for developers, who have the build tree.
set(CPACK_STRIP_FILES ON)
# Depends from the libraries the binaries link (dpkg-shlibdeps); the
# package's own libraries are found beside them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Qt's own dialogs (files, colours, printing) in the chosen language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Python module is built for one Python 3 version and passes arrays
# through NumPy; the programs need neither, so both are only recommended.
if(TARGET zorbel_python)
  math(EXPR zorbel_python_next "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${zorbel_python_next}), python3-numpy")
endif()
set(CPACK_GENERATOR DEB)
include(CPack)
