# Installation rules and the Debian packages (cpack -G DEB, or scripts/package.sh).
#
#   tarn   /usr/bin/tarn and /usr/bin/tarnctl, the shipped data in /usr/share/tarn (config,
#          formula, sound, icon: an installed terminal makes each user's program directory
#          from it), the desktop entry and the icon in the hicolor theme.
#   tarnd  the exchange server with its systemd unit (only when the build has the server).
#
# The dependencies come from the shared libraries the executables link (dpkg-shlibdeps), plus
# the font the terminal draws with.
include(GNUInstallDirs)

if(TARGET tarn)
  install(TARGETS tarn tarnctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT terminal)
  # The same files the build lays out beside its executables (assets/CMakeLists.txt).
  foreach(f IN LISTS TARN_ASSET_FILES)
    get_filename_component(dir "${f}" DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/${f} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarn/${dir}
            COMPONENT terminal)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarn.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT terminal)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icon/tarnclient.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME tarn.png COMPONENT terminal)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icon/tarnclient_32.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME tarn.png COMPONENT terminal)
  list(APPEND TARN_PACKAGE_COMPONENTS terminal)
endif()

if(TARGET tarnd)
  install(TARGETS tarnd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnd/tarnd.service
          DESTINATION lib/systemd/system COMPONENT server)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnd/tarnd.default
          DESTINATION /etc/default RENAME tarnd COMPONENT server)
  list(APPEND TARN_PACKAGE_COMPONENTS server)
endif()

if(NOT TARN_PACKAGE_COMPONENTS)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VENDOR "Tarn")
set(CPACK_PACKAGE_CONTACT "Tarn maintainers <maintainers@tarn.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${TARN_PACKAGE_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_TERMINAL_PACKAGE_NAME tarn)
set(CPACK_DEBIAN_TERMINAL_PACKAGE_DEPENDS "fonts-wqy-microhei")
set(CPACK_COMPONENT_TERMINAL_DISPLAY_NAME "Tarn terminal")
string(CONCAT CPACK_COMPONENT_TERMINAL_DESCRIPTION
    "futures trading and market-analysis terminal\n"
    "Quote grids, K-line charts and depth panels, order panels, keyboard ordering and local\n"
    "alerts, stops and OCO pairs. An embedded simulated exchange lets it run by itself.\n"
    "tarnctl is the administrators' command-line tool.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME tarnd)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/tarnd/postinst
    ${PROJECT_SOURCE_DIR}/packaging/tarnd/prerm
    ${PROJECT_SOURCE_DIR}/packaging/tarnd/postrm
    ${PROJECT_SOURCE_DIR}/packaging/tarnd/conffiles)
set(CPACK_COMPONENT_SERVER_DISPLAY_NAME "Tarn exchange server")
string(CONCAT CPACK_COMPONENT_SERVER_DESCRIPTION
    "exchange server for the Tarn terminal\n"
    "The simulated exchange as a network service, run by systemd (tarnd.service) with its data\n"
    "in /var/lib/tarnd and its options in /etc/default/tarnd.")

include(CPack)
