# The Debian package: cpack -G DEB in the build folder writes zestrel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zestrel)
set(CPACK_PACKAGE_VENDOR "Zestrel")
set(CPACK_PACKAGE_CONTACT "Zestrel Cookbook Upgrade developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upgrade recipe cookbooks to layout 1.3")
set(CPACK_PACKAGE_DESCRIPTION
    "Zestrel Cookbook Upgrade brings a recipe cookbook file (.rcp, a Jet database) of layout 1.0 or 1.1 to layout 1.3, keeping a backup of the original. It carries its own Jet engine. zestrel-upgrade is the window program; zestrel does the same on the command line and reads any Jet 3 or Jet 4 database.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the executables' own links; the platform plugins that let the
# window open on a desktop are only recommended by Qt's libraries, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
