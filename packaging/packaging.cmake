# Installation beyond the program, libbrix and img/: the launcher that gives each user a
# working folder, the desktop entry, the icon, the README; and the Debian package (cpack -G DEB).

# The launcher finds the images relative to itself, so an unpacked tree works wherever it lies.
if(IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(HALVENT_LAUNCH_IMAGES "${CMAKE_INSTALL_FULL_DATADIR}/halvent/img")
else()
    file(RELATIVE_PATH HALVENT_LAUNCH_IMAGES "/prefix/${CMAKE_INSTALL_BINDIR}"
         "/prefix/${CMAKE_INSTALL_DATADIR}/halvent/img")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/halvent-launch.in
               ${CMAKE_CURRENT_BINARY_DIR}/halvent-launch @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/halvent-launch DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/halvent.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/halvent.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian keeps a package's licence in its documentation folder under this name.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME halvent)
set(CPACK_PACKAGE_VENDOR "halvent")
set(CPACK_PACKAGE_CONTACT "halvent maintainers <halvent@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "breathing trainer with biofeedback")
set(CPACK_PACKAGE_DESCRIPTION
    "A full-screen breathing trainer: breathe along with a pacer that moves one step per\
 heartbeat of the sensor device. This build simulates a device with a steady pulse of 60\
 beats per minute. Start it from the menu of your desktop or with halvent-launch.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Besides the libraries the binaries link, the program needs what it loads at run time: libGL
# (SDL opens it) with a Mesa driver, and a face with Cyrillic letters for fontconfig to find.
set(HALVENT_RUNTIME_EXTRAS "libgl1, libgl1-mesa-dri, fonts-dejavu-core")
find_program(HALVENT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(HALVENT_DPKG_SHLIBDEPS)
    # Versioned dependencies from the libraries actually linked (libbrix is our own).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${HALVENT_RUNTIME_EXTRAS}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libgcc-s1, libsdl2-2.0-0, libsdl2-mixer-2.0-0, libfreetype6,\
 libfontconfig1, libopengl0, libcairo2, ${HALVENT_RUNTIME_EXTRAS}")
endif()
include(CPack)
