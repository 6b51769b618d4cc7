# What `cmake --install` puts on the system:
#
#   bin/vem, bin/vem-cli
#   share/applications/vem.desktop
#   share/icons/hicolor/{16x16,...,256x256}/apps/vem.png, scalable/apps/vem.svg
#   share/man/man1/vem-cli.1, share/man/man1/vem.1
#
# Included at the end of the top-level CMakeLists.txt, after app/ has defined
# the target `vem` and rendered its icons.
include(GNUInstallDirs)

install(TARGETS vem-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/docs/vem-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET vem)
  install(TARGETS vem RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/data/vem.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/vem.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  foreach(size ${VEM_ICON_SIZES})
    install(FILES ${VEM_ICON_DIR}/vem-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vem.png)
  endforeach()
  install(FILES ${VEM_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
