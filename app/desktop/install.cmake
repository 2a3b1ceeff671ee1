# Installing Kivo as a desktop application, and its Debian package.
#
# The programs go to bin/; the skin and the sound clips are built into the player, so nothing
# else is needed to run it. Beside them: the menu entry, the AppStream description, the icons
# of the hicolor theme (drawn from Kivo's badge by tools/skin/make_icons.py) and the manual
# pages. `cpack -G DEB` in the build folder, or tools/package.sh, makes the .deb.
include(GNUInstallDirs)

set(KIVO_APP_ID io.github.kivo.Kivo)
set(KIVO_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/app/desktop)

install(TARGETS kivo kivo-play kivo-decode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KIVO_DESKTOP_DIR}/${KIVO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KIVO_DESKTOP_DIR}/${KIVO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/icons/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")

# Manual pages are installed compressed, as Debian keeps them.
find_program(KIVO_GZIP gzip)
foreach(page kivo kivo-play kivo-decode)
  set(source ${KIVO_DESKTOP_DIR}/${page}.1)
  if(KIVO_GZIP)
    set(packed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${packed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND ${KIVO_GZIP} -9nc ${source} > ${packed}
                       DEPENDS ${source} VERBATIM)
    list(APPEND KIVO_MAN_PAGES ${packed})
  else()
    list(APPEND KIVO_MAN_PAGES ${source})
  endif()
endforeach()
add_custom_target(kivo_man_pages ALL DEPENDS ${KIVO_MAN_PAGES})
install(FILES ${KIVO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME kivo)
set(CPACK_PACKAGE_VENDOR "Kivo")
set(CPACK_PACKAGE_CONTACT "Kivo developers <kivo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MP3 player with a cheeky companion")
set(CPACK_PACKAGE_DESCRIPTION
    "Kivo plays MP3 songs (MPEG audio Layer II and III) with a decoder of its own: nine\n"
    "playlists, five play modes, media keys through MPRIS, and Kivo, a companion who answers\n"
    "everything the user does with a joke in Chinese. kivo-play and kivo-decode bring the\n"
    "engine to the terminal.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link come from the shared objects they use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time rather than linked: Qt's GIF reader and X11 platform come with libqt6gui6;
# the Chinese font and the sound server's ALSA plugin are wanted but not required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, libasound2-plugins")
include(CPack)
