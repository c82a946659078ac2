# `make package`: a Debian package of everything `cmake --install` puts in
# place, installed under /usr. Shared-library dependencies come from
# dpkg-shlibdeps; what the programs load at run time without linking it (the
# QML modules, the SVG image plugin, the fonts) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidewell)
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see where the space on a disk goes and win it back")
set(CPACK_PACKAGE_DESCRIPTION
    "Tidewell scans a folder or the whole disk into a tree of sizes, shows it as a treemap
or a sunburst, finds well-known developer bloat (node_modules, build products,
package caches) and removes what you choose under one set of safety rules. A
tray panel measures and empties the usual developer caches without a scan.
The package also holds tidewell-cli and the tidewell-historyd user service.")
set(TIDEWELL_PACKAGE_MAINTAINER "Quillon <tidewell@quillon.invalid>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TIDEWELL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(tidewell_runtime_depends
    qml6-module-qtquick
    qml6-module-qtqml
    qml6-module-qtqml-workerscript
    qml6-module-qtqml-models
    qml6-module-qtquick-controls
    qml6-module-qtquick-templates
    qml6-module-qtquick-dialogs
    qml6-module-qtquick-layouts
    qml6-module-qt-labs-folderlistmodel
    qml6-module-qtquick-shapes
    qml6-module-qtquick-window
    libqt6svg6
    fonts-inter
    fonts-material-design-icons-iconfont)
list(JOIN tidewell_runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-core, qt6-translations-l10n, qt6-wayland")
include(CPack)
