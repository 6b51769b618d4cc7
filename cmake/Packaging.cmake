# The Debian package, built from the release preset:
#
#   cmake --preset release && cmake --build --preset release && \
#     cpack --config build/release/CPackConfig.cmake -B build/release/package
#
# It holds exactly what `cmake --install` installs (cmake/Install.cmake).
# Included at the end of the top-level CMakeLists.txt, after every install rule.
set(VEM_PACKAGE_MAINTAINER "VEM developers <vem@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vem)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop tool for cutting out and masking pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "VEM (ヴェム～VEM～) builds a finished picture from an original BMP picture by
painting a background colour over every pixel that a chosen rule rejects:
where the original and an editing picture differ or agree, where the editing
picture has or lacks a given colour, or over a region of similar colour grown
from a point (a magic wand). A right click erases such a region in one
gesture. The user interface is Japanese. The package also holds vem-cli, which
runs the same conversions from the command line.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt and C++ runtime libraries come from dpkg-shlibdeps; what the program
# loads or shows without linking it is named here: CJK glyphs for the Japanese
# interface, and Qt's own Japanese texts for its standard dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n")
# Without it Qt falls back to X11 (through Xwayland) on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
