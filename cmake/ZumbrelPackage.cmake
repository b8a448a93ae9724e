# A Debian package of the installed tree: scripts/package.sh builds it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zumbrel)
set(CPACK_PACKAGE_VENDOR "The Zumbrel developers")
set(CPACK_PACKAGE_CONTACT "The Zumbrel developers <zumbrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk space usage analyzer")
set(CPACK_PACKAGE_DESCRIPTION "Zumbrel shows what takes up the space on a drive or in a folder.
Background threads walk the folder tree while the window shows it live as a
tree with sizes, file counts, percentage bars and dates, biggest first. Files
can be opened, shown in the file manager, moved to the trash or deleted, and
the analysis saved as CSV, text tree, HTML, XML or ncdu JSON. The command line
program zumbrel-cli runs the same engine on servers and in scripts.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${ZUMBREL_HOMEPAGE_URL})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link are found by dpkg-shlibdeps; Qt's platform plugins are loaded at
# run time, so the package that holds them is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme | hicolor-icon-theme, qt6-gtk-platformtheme")
set(CPACK_STRIP_FILES ON)
include(CPack)
