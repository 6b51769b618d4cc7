# What `cmake --install` puts on the system:
#
#   bin/vem, bin/vem-cli
#   share/applications/vem.desktop
#   share/icons/hicolor/{16x16,...,256x256}/apps/vem.png, scalable/apps/vem.svg
#   share/man/man1/vem-cli.1, share/man/man1/vem.1
#   share/doc/vem/copyright (the licence, where a Debian system looks for it)
#
# Included at the end of the top-level CMakeLists.txt, after app/ has defined
# the target `vem` and rendered its icons.
include(GNUInstallDirs)

install(TARGETS vem-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The licence in Debian's machine-readable copyright format, made from
# LICENSE so the two cannot disagree: the permission text indented by one
# space, an empty line written as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE VEM_LICENSE)
string(FIND "${VEM_LICENSE}" "Permission is hereby granted" VEM_LICENSE_START)
string(SUBSTRING "${VEM_LICENSE}" ${VEM_LICENSE_START} -1 VEM_LICENSE_BODY)
string(STRIP "${VEM_LICENSE_BODY}" VEM_LICENSE_BODY)
string(REPLACE "\n\n" "\n.\n" VEM_LICENSE_BODY "${VEM_LICENSE_BODY}")
string(REPLACE "\n" "\n " VEM_LICENSE_BODY "${VEM_LICENSE_BODY}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/copyright
  CONTENT "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: VEM

Files: *
Copyright: 2026 The VEM developers
License: Expat
 @VEM_LICENSE_BODY@
"
  @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
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
