# Install rules (cmake --install, relocatable with DESTDIR) and the Debian packages (cpack -G DEB):
#   sonaro       the player: program, browser engine module, launcher, icons, AppStream metadata;
#   sonaro-host  the service host and the demo stream service, with a systemd unit.
# The application id names the launcher, the metadata, the icon and the D-Bus names.
set(SONARO_APP_ID org.sonaro.Sonaro)

install(TARGETS sonaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT player)
# The program finds the module from its own folder: SONARO_ENGINE_RELATIVE_DIR.
install(TARGETS sonaro_browser_engine_module LIBRARY DESTINATION ${SONARO_MODULE_INSTALL_DIR}
        COMPONENT player)
install(FILES app/desktop/${SONARO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT player)
install(FILES app/desktop/${SONARO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT player)
foreach(size 16 24 32 48 64 128 256)
  install(FILES assets/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${SONARO_APP_ID}.png COMPONENT player)
endforeach()

install(TARGETS sonaro-host sonaro-streams RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT host)
set(SONARO_HOST_DOC_DIR ${CMAKE_INSTALL_FULL_DATADIR}/doc/sonaro-host)
configure_file(host/sonaro-host.service.in ${PROJECT_BINARY_DIR}/sonaro-host.service @ONLY)
# systemd's unit folder is not multiarch: lib/, not the library folder.
install(FILES ${PROJECT_BINARY_DIR}/sonaro-host.service DESTINATION lib/systemd/system
        COMPONENT host)
install(FILES docs/host.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonaro-host COMPONENT host)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sonaro developers")
set(CPACK_PACKAGE_CONTACT "The Sonaro developers <developers@sonaro.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://sonaro.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL player host)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PLAYER_PACKAGE_NAME sonaro)
set(CPACK_DEBIAN_PLAYER_PACKAGE_SECTION sound)
set(CPACK_COMPONENT_PLAYER_DESCRIPTION
    "Internet radio player with a song-dedication board\n Plays the built-in Chinese internet radio stations from a small skinned window, sets\n the system volume with its knob, lives in the tray, answers the desktop's media\n controls (MPRIS) and shows a board of songs listeners dedicate to each other.")
# What no library link shows: libmpv is opened at run time, the browser engine runs its helper
# process with its resources, and the skin draws with the CJK fonts.
set(CPACK_DEBIAN_PLAYER_PACKAGE_DEPENDS
    "libmpv2, libqt6webenginecore6-bin, libqt6webengine6-data, fonts-noto-cjk")
set(CPACK_DEBIAN_PLAYER_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, qt6-wayland")
set(CPACK_DEBIAN_HOST_PACKAGE_NAME sonaro-host)
set(CPACK_DEBIAN_HOST_PACKAGE_SECTION net)
set(CPACK_COMPONENT_HOST_DESCRIPTION
    "Service host and demo stations for the Sonaro radio player\n sonaro-host serves the player's update page, dedication feed and page, announcement,\n advert and help pages; sonaro-streams serves a tone for every built-in station.")
include(CPack)
