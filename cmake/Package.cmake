# The Debian package: `cpack -G DEB` in the build folder, or `./build.sh package`. Its
# dependencies are read off the programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vistrel developers <vistrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "snapshots of folder trees and what changed between two of them")
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrel records snapshots of folder trees: every file and folder under a
root, with its name, folder, size, modified time and attributes. Take an
Original snapshot, change the system (install software, copy files), take a
Final snapshot and compare: what is only in the Original, only in the Final,
what changed and what stayed unchanged. Lists are saved as snapshot files,
exported as CSV and printed as a report grouped by folder.
.
This package holds the desktop program vistrel and the command-line tool
vistrel-cli, which takes, lists and compares snapshots for scripts, also as
JSON.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, jq")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
