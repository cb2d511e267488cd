# Where `cmake --install` and the Debian package put the program and its files:
# the places a Debian desktop looks in. The program finds its help and logo in
# ../share/merrivan beside its bin folder.
include(GNUInstallDirs)

set(merrivan_data ${PROJECT_SOURCE_DIR}/app/data)
install(TARGETS merrivan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${merrivan_data}/NoLogo.jpg "${merrivan_data}/RS232 HELP.html"
              ${merrivan_data}/merrivan.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/merrivan)
install(FILES ${merrivan_data}/org.merrivan.Merrivan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${merrivan_data}/org.merrivan.Merrivan.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${merrivan_data}/merrivan.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${merrivan_data}/merrivan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Without a screen, as a systemd user service (a plain program name in
# ExecStart is looked up in /usr/local/bin and /usr/bin alike).
install(FILES ${merrivan_data}/merrivan.service ${merrivan_data}/merrivan@.service
        DESTINATION lib/systemd/user)

# cpack -G DEB in the build folder makes merrivan_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME merrivan)
set(CPACK_PACKAGE_VENDOR "Merrivan")
set(CPACK_PACKAGE_CONTACT "Merrivan developers <merrivan@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Desktop companion for a hand-held measuring meter on a serial line")
set(CPACK_PACKAGE_INSTALL_DIRECTORY merrivan)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
