# The Debian package: `cpack -G DEB` in the build folder. Its dependencies
# are the Debian packages of the shared libraries the programs link
# (dpkg-shlibdeps), and the Qt platform plugin that no link names.
set(CPACK_PACKAGE_NAME tollamer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tollamer developers <tollamer@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "recovery of damaged SQL Server data files (.mdf) and backups (.bak)")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Reads the pages of damaged Microsoft SQL Server data files and full backups itself, "
    "without a database server, rebuilds the catalog from the system tables and exports "
    "every recoverable row as CSV, SQL, SQLite or PostgreSQL, and schema scripts. "
    "tollamer-cli is the command line, tollamer the desktop program.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, xdg-utils")
include(CPack)
