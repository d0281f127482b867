# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovanel)
set(CPACK_PACKAGE_VENDOR "Tovanel")
set(CPACK_PACKAGE_CONTACT "Tovanel-Entwicklung <tovanel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tovanel.example.org/")
# A synopsis line, then the long description in lines of at most 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "viewer for vCard contact files
Tovanel shows the contacts of a vCard file (.vcf, .vcard) as a list with
name, company, telephone numbers and e-mail address, finds names, and shows
every field of a contact together with its vCard source text. Preferred
telephone numbers are shown in bold. Files are only read, never changed.
.
The user interface is in German.")
# The libraries come from the binary itself (dpkg-shlibdeps); Qt's platform plugins are loaded at run
# time, so no library link names them (libxlsxwriter and Qt's print support are linked and found). The
# printed phone list is set in DejaVu Sans, found through fontconfig at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# Qt's German texts for its own dialogs, and its readers for the TIFF and WebP photos some exporters embed
# (also loaded at run time).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-image-formats-plugins")

include(CPack)
