# `cpack -G DEB` in the build folder makes hemlo2_<version>_amd64.deb,
# installing under /usr.
set(CPACK_PACKAGE_NAME hemlo2)
set(CPACK_PACKAGE_VENDOR "Hemlo2 developers")
set(CPACK_PACKAGE_CONTACT "${HEMLO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${HEMLO_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${HEMLO_HOMEPAGE}")
# Free software under the GNU GPL, version 3 or later; Debian's copyright
# file points at the common licence text instead of shipping it again.
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/COPYING")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML editor with a built-in FTP publishing tool")
# CPack indents each line itself; a line indented here would be shown verbatim.
set(CPACK_PACKAGE_DESCRIPTION
    "Hemlo2 is a Japanese HTML editor for people who write small personal web\nsites by hand: the page source above a live view, menus that insert tags,\nbuilders for tables, colours and style rules, and the transfer tool Ferrox\nthat publishes the site over FTP.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# Libraries the executable links come from dpkg-shlibdeps; the rest are
# loaded at run time (the web engine's helper process, SVG icons, Japanese
# translations and fonts, the toolbar's icon theme).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, qt6-translations-l10n, fonts-ipafont-gothic, adwaita-icon-theme")
find_program(HEMLO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(HEMLO_DPKG_SHLIBDEPS)
  # Its symbols files name libqt6webenginecore6-bin with its version too.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(PREPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         "libc6, libstdc++6, libpcre2-8-0, libqt6core6, libqt6gui6, libqt6widgets6, libqt6printsupport6, libqt6webenginecore6, libqt6webenginecore6-bin, libqt6webenginewidgets6, ")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
