# packaging/install.cmake - what `cmake --install` puts where, and the Debian package.
#
# Any prefix works (/usr, /usr/local, a staging folder): the installed parvell
# finds its help pages as ../share/parvell/help beside its own folder
# (src/platform/qt/data_folders.h), so nothing here records the prefix in a
# program.  scripts/package builds the .deb from the same rules.
include(GNUInstallDirs)

set(PARVELL_APP_ID com.parvellsoft.Parvell)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

# ---- the engine for other programs: libostrana.so / .a, its C headers, pkg-config ----
# The shared library's name carries the engine's major version (6.00.00).
set_target_properties(ostrana_shared PROPERTIES VERSION 6.0.0 SOVERSION 6)
install(TARGETS ostrana RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ostrana_shared LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES $<TARGET_FILE:ostrana_engine> DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME libostrana.a)
file(GLOB engine_headers ${PROJECT_SOURCE_DIR}/src/engine/include/*.h)
install(FILES ${engine_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ostrana)
# Written at install time: the prefix is the one installed into (cpack: /usr).
# pkg-config reads a space in a value as the end of a word unless it is escaped.
install(CODE "string(REPLACE \" \" \"\\\\ \" PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  configure_file(\"${packaging_dir}/ostrana.pc.in\" \"${CMAKE_BINARY_DIR}/pkgconfig/ostrana.pc\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/ostrana.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# ---- manual pages, compressed as Debian keeps them ----------------------------------
find_program(GZIP_PROGRAM gzip REQUIRED)
# (the package's changelog too).
foreach(page man/parvell.1 man/ostrana.1 changelog)
  set(packed ${CMAKE_BINARY_DIR}/packed/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packed/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${packaging_dir}/${page} > ${packed}
    DEPENDS ${packaging_dir}/${page} VERBATIM)
  list(APPEND packed_pages ${packed})
endforeach()
add_custom_target(packed_docs ALL DEPENDS ${packed_pages})
install(FILES ${CMAKE_BINARY_DIR}/packed/man/parvell.1.gz ${CMAKE_BINARY_DIR}/packed/man/ostrana.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- the wizard: program, help pages, launcher, icons, software-centre entry ----------
if(BUILD_APP)
  install(TARGETS parvell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/parvell/help)
  install(FILES ${packaging_dir}/${PARVELL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging_dir}/${PARVELL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/icons/parvell.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${PARVELL_APP_ID}.svg)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/icons/hicolor/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()
install(FILES ${packaging_dir}/copyright ${CMAKE_BINARY_DIR}/packed/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parvell)

# ---- the Debian package (cpack -G DEB; scripts/package) --------------------------------
set(CPACK_PACKAGE_NAME parvell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ParvellSoft")
set(CPACK_PACKAGE_CONTACT "ParvellSoft <support@parvellsoft.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZIP archive wizard with scheduled tasks and its own ZIP engine")
set(CPACK_PACKAGE_DESCRIPTION "Parvell Ravarave leads you page by page through creating a ZIP archive,
adding files to one, or extracting one into a folder.  Any of these can be
kept as a scheduled task (a line in your crontab) that reruns it unattended
and writes an HTML results log.
.
The archive work is done by the program's own engine, Ostrana Secure
Zip/UnZip, which also comes as the command line tool ostrana and as a C
library (libostrana) with its headers.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.parvellsoft.com/")
# Depends: the libraries the programs link, as dpkg-shlibdeps finds them, and the
# Qt plugins they load at run time (the X11 platform, SVG pictures), which no
# linker sees.  Opening help and files goes through xdg-open; tasks need cron.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, cron")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The library cache is brought up to date by dpkg's trigger, not by a script of ours.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_dir}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
