# Installation layout and the Debian package (CPack DEB).
#   cmake --build build --target package      -> build/kaptiv_<version>_<arch>.deb
# The programs carry everything they show (page, images, dialog templates, language tables)
# compiled in, so the package installs only the three programs and the desktop files.
include(GNUInstallDirs)

set(_packaging ${CMAKE_SOURCE_DIR}/packaging)

set(_programs kaptiv-config kaptiv-exporter mulvane-sim)
if(TARGET kaptiv)
  list(PREPEND _programs kaptiv)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Menu entry and icon; the entry starts kaptiv, which opens the page in the browser.
install(FILES ${_packaging}/kaptiv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_packaging}/kaptiv.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages, written by hand in troff and installed compressed as Debian does.
find_program(KAPTIV_GZIP gzip)
set(_manDir ${CMAKE_CURRENT_BINARY_DIR}/man)
set(_manPages "")
foreach(_page kaptiv kaptiv-config kaptiv-exporter mulvane-sim)
  set(_source ${_packaging}/man/${_page}.1)
  set(_compressed ${_manDir}/${_page}.1.gz)
  if(KAPTIV_GZIP)
    # -n: no name or time stamp inside, so the page is the same from build to build.
    add_custom_command(OUTPUT ${_compressed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${_manDir}
                       COMMAND ${KAPTIV_GZIP} -9 -n -c ${_source} > ${_compressed}
                       DEPENDS ${_source} VERBATIM)
    list(APPEND _manPages ${_compressed})
  else()
    list(APPEND _manPages ${_source})
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${_manPages})
install(FILES ${_manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${_packaging}/serial-access.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# For the operators of a Prometheus: the scrape job of kaptiv-exporter and the alerting rules.
install(FILES ${_packaging}/prometheus/prometheus.yml ${_packaging}/prometheus/kaptiv-rules.yml
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# Debian's two required documents: the machine-readable copyright (the project's licence and
# those of what the programs compile in) and the changelog, compressed as Debian does. The
# changelog's first entry names the project's version (the package test checks it).
install(FILES ${_packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
if(KAPTIV_GZIP)
  add_custom_command(OUTPUT ${_changelog}
                     COMMAND ${KAPTIV_GZIP} -9 -n -c ${_packaging}/debian/changelog > ${_changelog}
                     DEPENDS ${_packaging}/debian/changelog VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${_changelog})
  install(FILES ${_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/guide.md)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}
          FILES_MATCHING PATTERN "*.png")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaptiv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kaptiv maintainers <maintainers@kaptiv.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration and maintenance tool for the MULVANE headend rack")
# Lines of the long description stay under 80 characters (lintian).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kaptiv finds the modules of a MULVANE digital-television headend rack\n\
over a serial bus (USB adapter) or an IP gateway, shows the rack and reads\n\
and writes the modules' settings. Its interface runs in the web browser.\n\
The package also holds mulvane-sim, a simulated rack for learning and\n\
offline preparation, kaptiv-config, the command-line companion for\n\
parameter blocks and configuration files, and kaptiv-exporter, which lets\n\
Prometheus watch many racks.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The page is opened with xdg-open; any browser will do.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, chromium | firefox-esr | www-browser")

# Dependencies from what the programs link: dpkg-shlibdeps reads their NEEDED entries.
# Without it, the same list is declared by hand (objdump -p: libstdc++.so.6, libgcc_s.so.1,
# libc.so.6, and libprometheus-cpp-core.so.1.0 for kaptiv-exporter).
find_program(KAPTIV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KAPTIV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libprometheus-cpp-core1.0")
endif()

# The installed programs are stripped; the debugging information stays in the build.
set(CPACK_STRIP_FILES ON)
include(CPack)
