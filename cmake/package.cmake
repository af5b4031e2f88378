# The Debian package: cpack -G DEB in the build folder writes zestrel_<version>_<arch>.deb.
# lintian reads it without an error or a warning (the test deb_package checks that): a maintainer
# with an address, the machine-readable copyright file, the changelog compressed as Debian's tools
# do it, a short summary and a long description wrapped below 80 columns.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zestrel)
set(CPACK_PACKAGE_VENDOR "The Zestrel developers")
set(CPACK_PACKAGE_CONTACT "Zestrel developers <maintainers@zestrel.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zestrel.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upgrade recipe cookbooks to layout 1.3")
# The long description below the summary, wrapped as it goes into the control file; "." is an
# empty line there.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zestrel Cookbook Upgrade brings a recipe cookbook file (.rcp, a Jet
database) of layout 1.0 or 1.1 to layout 1.3, keeping a backup of the
original that can be put back with zestrel restore.
.
zestrel-upgrade is the window program; zestrel does the same on the
command line and reads, dumps and checks any Jet 3 or Jet 4 database.
It carries its own Jet engine and needs no other database software.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the executables' own links; the platform plugins that let the
# window open on a desktop are only recommended by Qt's libraries, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Folders 0755 and files 0644 whatever the build machine's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
