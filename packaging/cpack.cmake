# `cpack` in the build folder makes a Debian package of what `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovanel)
set(CPACK_PACKAGE_VENDOR "Tovanel")
set(CPACK_PACKAGE_CONTACT "Tovanel-Entwicklung <tovanel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Betrachter für vCard-Dateien (.vcf)")
set(CPACK_PACKAGE_DESCRIPTION
    "Tovanel zeigt die Kontakte einer vCard-Datei als Liste mit Name, Firma, Telefonnummern und E-Mail, \
findet Namen und zeigt alle Felder eines Kontakts samt seinem vCard-Text. Die Dateien werden nur gelesen.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The Qt 6 libraries the program links, the X11/Wayland platform plugins it needs to show a window,
# and Qt's German texts for its dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), \
qt6-qpa-plugins, libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
